#include "app/folderpath.h"

#include <gtest/gtest.h>

namespace {

struct FolderRow {
    const char *name;
    std::string_view separators;
    const char *path;
    const char *folder;
};

class ExtractFolder : public testing::TestWithParam<FolderRow> {};

constexpr std::string_view win = WindowsPathSeparators;
constexpr std::string_view posix = UnixPathSeparators;

} // namespace

TEST_P(ExtractFolder, KeepsEverythingUpToTheLastSeparator)
{
    const FolderRow &row = GetParam();
    EXPECT_EQ(ExtractFolderAt(row.path, row.separators), QByteArray(row.folder)) << row.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExtractFolder,
    testing::Values(FolderRow{"WinProgramFiles", win, R"(C:\Program Files\Glowsweep Wizard\gw.exe)",
                              R"(C:\Program Files\Glowsweep Wizard\)"},
                    FolderRow{"WinDriveRoot", win, R"(C:\gw.exe)", R"(C:\)"},
                    FolderRow{"WinDriveRelative", win, "D:gw.exe", "D:"},
                    FolderRow{"WinUncShare", win, R"(\\server\share\gw.exe)", R"(\\server\share\)"},
                    FolderRow{"WinTrailingSeparator", win, R"(C:\Data\)", R"(C:\Data\)"},
                    FolderRow{"WinSlashIsNoSeparator", win, "C:/Program Files/gw.exe", "C:"},
                    FolderRow{"WinBareName", win, "gw.exe", ""}, FolderRow{"WinEmpty", win, "", ""},
                    FolderRow{"UnixInstalled", posix, "/usr/bin/glowsweep-wizard", "/usr/bin/"},
                    FolderRow{"UnixRoot", posix, "/glowsweep-wizard", "/"},
                    FolderRow{"UnixBackslashAndColonAreNames", posix, R"(/tmp/a\b:c)", "/tmp/"},
                    FolderRow{"UnixBareName", posix, "glowsweep-wizard", ""}),
    [](const auto &row) { return std::string(row.param.name); });
