#include "settings/settingsfile.h"
#include "settings/settingsio.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <limits>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>

namespace {

QList<MonitorSettings> FreshRecords(int count)
{
    QList<MonitorSettings> records;
    for (int i = 0; i < count; ++i)
        records.append(MonitorSettings::ForMonitor(i));
    return records;
}

// Records as text, "ScanRate BarSize HBars VBars" per record, records separated by "|".
QString Describe(const QList<MonitorSettings> &records)
{
    QStringList parts;
    for (const MonitorSettings &r : records)
        parts.append(
            QStringLiteral("%1 %2 %3 %4").arg(r.ScanRate).arg(r.BarSize).arg(r.HBars).arg(r.VBars));
    return parts.join('|');
}

QList<MonitorSettings> Records(const QString &text)
{
    QList<MonitorSettings> records;
    for (const QString &part : text.split('|')) {
        const QStringList v = part.split(' ');
        MonitorSettings r = MonitorSettings::ForMonitor(static_cast<int32_t>(records.size()));
        r.ScanRate = v[0].toInt(), r.BarSize = v[1].toInt(), r.HBars = v[2].toInt(),
        r.VBars = v[3].toInt();
        records.append(r);
    }
    return records;
}

QByteArray Utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char hi = static_cast<char>(c.unicode() >> 8), lo = static_cast<char>(c.unicode());
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

ino_t Inode(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QString CannotCreate(const QString &path, int error)
{
    return "Cannot create file \"" + path + "\". " + QString::fromLocal8Bit(std::strerror(error));
}

TEST(EncodeSettingsFile, TwoFreshMonitorsExactly)
{
    const QByteArray bytes = EncodeSettingsFile(FreshRecords(2), 0);
    EXPECT_TRUE(bytes.startsWith(QByteArray("\xFF\xFE/\0/\0\r\0\n\0", 10)));
    EXPECT_TRUE(bytes.endsWith(QByteArray("\r\0\n\0", 4)));
    ASSERT_EQ(bytes.size() % 2, 0);
    QString text;
    for (qsizetype i = 2; i < bytes.size(); i += 2)
        text.append(QChar(static_cast<char16_t>(static_cast<uchar>(bytes[i]) |
                                                static_cast<uchar>(bytes[i + 1]) << 8)));
    QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), 7);
    EXPECT_TRUE(lines[2].startsWith("// "));
    lines[2] = "<notice>";
    EXPECT_EQ(lines,
              QStringList({"//", "// Glowsweep Wizard v1.00.", "<notice>", "//",
                           "Config(Activate=0)", "AddMonitor(ScanRate=2,BarSize=2,HBars=1,VBars=0)",
                           "AddMonitor(ScanRate=2,BarSize=2,HBars=1,VBars=0)"}));
    EXPECT_FALSE(lines.join("").contains('\r') || lines.join("").contains('\n'));
}

TEST(DecodeSettingsText, EncodingsAndBreaks)
{
    const QString ls(QChar(0x2028)), ae = QString::fromUtf8("\xC3\xA4"), nul(QChar(0));
    const struct {
        const char *edge;
        QByteArray bytes;
        QStringList lines;
    } rows[] = {{"empty", "", {}},
                {"one byte", "a", {"a"}},
                {"crlf is one break", "a\r\nb", {"a", "b"}},
                {"lfcr is two", "a\n\rb", {"a", "", "b"}},
                {"final break adds no line", "a\r\n", {"a"}},
                {"lone break", "\r\n", {""}},
                {"nul ends the text", QByteArray("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                {"nul first", QByteArray("\0abc", 4), {}},
                {"crlf+ls is one break", Utf16("a\r\n" + ls + "b", false), {"a", "b"}},
                {"ls then cr is two", Utf16("a" + ls + "\rb", false), {"a", "", "b"}},
                {"utf16le", Utf16(ae + "\nb", false), {ae, "b"}},
                {"utf16be", Utf16(ae + "\nb", true), {ae, "b"}},
                {"utf8 mark", "\xEF\xBB\xBF" + ae.toUtf8() + "\nb", {ae, "b"}},
                {"mark only", Utf16("", false), {}},
                {"odd utf16 byte dropped", Utf16("ab", false).chopped(1), {"a"}},
                {"unpaired surrogate kept", Utf16(QChar(0xD800) + ae, false), {QChar(0xD800) + ae}},
                {"utf16 nul ends", Utf16("a" + nul + "b", false), {"a"}},
                {"half a mark is 8-bit", "\xEF\xBB", {QString::fromLocal8Bit("\xEF\xBB")}}};
    for (const auto &row : rows)
        EXPECT_EQ(DecodeSettingsText(row.bytes), row.lines) << row.edge;
}

TEST(ConvertSettingsInteger, DecimalAndHexadecimalOnly)
{
    const struct {
        const char *value;
        int32_t number;
    } converting[] = {{"0", 0},
                      {"10", 10},
                      {"+7", 7},
                      {"-7", -7},
                      {"00012", 12},
                      {"2147483647", 2147483647},
                      {"-2147483648", INT32_MIN},
                      {"$A", 10},
                      {"$a", 10},
                      {"xff", 255},
                      {"Xff", 255},
                      {"0x10", 16},
                      {"0X10", 16},
                      {"$FFFFFFFF", -1},
                      {"$000000001", 1},
                      {"-$1", -1},
                      {"+$A", 10}};
    for (const auto &row : converting) {
        int32_t number = 12345;
        EXPECT_TRUE(ConvertSettingsInteger(row.value, number)) << row.value;
        EXPECT_EQ(number, row.number) << row.value;
    }
    // The last is a full-width digit one.
    for (const char *value : {"2147483648", "-2147483649", "$100000000", "99999999999999999999",
                              "",           "+",           "-",          "$",
                              "0x",         "x",           "1.5",        "\t1",
                              "1 ",         "--1",         "+-1",        "1e3",
                              "0x1g",       "$-1",         "0$1",        "\xEF\xBC\x91"}) {
        int32_t number = 12345;
        EXPECT_FALSE(ConvertSettingsInteger(QString::fromUtf8(value), number)) << value;
        EXPECT_EQ(number, 12345) << value;
    }
}

struct ApplyRow {
    const char *edge;
    const char *text;
    const char *records; // after applying over two fresh records ("2 2 1 0|2 2 1 0")
    std::optional<int32_t> activate;
};

void PrintTo(const ApplyRow &row, std::ostream *os)
{
    *os << row.edge;
}

class ApplySettingsLinesTest : public testing::TestWithParam<ApplyRow> {};

TEST_P(ApplySettingsLinesTest, SetsRecordsAndActivate)
{
    QList<MonitorSettings> records = FreshRecords(2);
    EXPECT_EQ(ApplySettingsLines(QString(GetParam().text).split('\n'), records),
              GetParam().activate);
    EXPECT_EQ(Describe(records), GetParam().records);
}

const char *const Fresh = "2 2 1 0|2 2 1 0";
const ApplyRow ApplyRows[] = {
    {"OneKeyOthersLoadDefaults", "AddMonitor(ScanRate=4)", "4 2 0 1|2 2 1 0", {}},
    {"CaseAndBlanksIgnored", "addmonitor( SCANRATE = 3 ,barsize=0)", "3 0 0 1|2 2 1 0", {}},
    {"LaterBadDuplicateResets", "AddMonitor(ScanRate=4,ScanRate=x)", "2 2 0 1|2 2 1 0", {}},
    {"HexAndDecimalPoint", "AddMonitor(VBars=$A)\nAddMonitor(VBars=1.5)", "2 2 0 10|2 2 0 1", {}},
    {"IndexOutOfTableTakesDefault",
     "AddMonitor(ScanRate=5,BarSize=-1,HBars=-3,VBars=1000)",
     "2 2 -3 1000|2 2 1 0",
     {}},
    {"SurplusLinesDropped",
     "AddMonitor(ScanRate=0)\nAddMonitor(ScanRate=1)\nAddMonitor(ScanRate=3)",
     "0 2 0 1|1 2 0 1",
     {}},
    {"MissingLineKeepsStartUp", "AddMonitor(HBars=5)", "2 2 5 1|2 2 1 0", {}},
    {"OthersDoNotShiftPositions",
     "//\n\nFoo(ScanRate=1)\nAddMonitor(ScanRate=0)\n; "
     "x\nConfig(Activate=1)\nAddMonitor(ScanRate=4)",
     "0 2 0 1|4 2 0 1", 1},
    {"LeadingBlankNotCounted",
     " AddMonitor(ScanRate=4)\nAddMonitor(ScanRate=3)",
     "3 2 0 1|2 2 1 0",
     {}},
    {"ArgumentsWithoutEquals", "AddMonitor(4,3)", "2 2 0 1|2 2 1 0", {}},
    {"TabIsNoBlank", "AddMonitor(ScanRate=\t3)", "2 2 0 1|2 2 1 0", {}},
    {"QuotedArgument", "AddMonitor(\"ScanRate=3\",BarSize=\"1\")", "3 2 0 1|2 2 1 0", {}},
    {"ActivateAll", "CONFIG(ACTIVATE=1)", Fresh, 1},
    {"ActivateNotConverting", "Config(Activate=x)", Fresh, 0},
    {"ActivateOutOfRange", "Config(Activate=7)", Fresh, 7},
    {"ConfigPrefixOnly", "Configuration(Activate=1)", Fresh, 1},
    {"LastConfigWins", "Config(Activate=1)\nConfig(Foo=1)\nConfig(Activate=0)", Fresh, 0},
    {"NoActivateKey", "Config(Foo=1)\nConfig(Activate=1", Fresh, {}}};

INSTANTIATE_TEST_SUITE_P(Rows, ApplySettingsLinesTest, testing::ValuesIn(ApplyRows),
                         [](const testing::TestParamInfo<ApplyRow> &row) {
                             return std::string(row.param.edge);
                         });

TEST(ActivateChoice, OnlyTheTwoItemsSelect)
{
    EXPECT_EQ(ActivateChoice(0), 0);
    EXPECT_EQ(ActivateChoice(1), 1);
    EXPECT_EQ(ActivateChoice(7), -1);
    EXPECT_EQ(ActivateChoice(-2), -1);
    const QByteArray bytes = EncodeSettingsFile({}, ActivateChoice(7));
    const QString saved =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
    EXPECT_TRUE(saved.contains("Config(Activate=-1)\r\n"));
}

TEST(SettingsText, EveryEncodingLoadsTheSameSettings)
{
    const QString text = "// c\r\nConfig(Activate=1)\nAddMonitor(ScanRate=4,BarSize=0,HBars=3,"
                         "VBars=7)\rAddMonitor(HBars=20)\r\n";
    const QByteArray files[] = {text.toLatin1(), "\xEF\xBB\xBF" + text.toUtf8(), Utf16(text, true),
                                Utf16(text, false)};
    for (const QByteArray &bytes : files) {
        QList<MonitorSettings> records = FreshRecords(2);
        EXPECT_EQ(ApplySettingsLines(DecodeSettingsText(bytes), records), 1)
            << bytes.toHex().left(8).toStdString();
        EXPECT_EQ(Describe(records), "4 0 3 7|2 2 20 1");
    }
}

TEST(SettingsText, HostileLinesGiveDefinedResults)
{
    const QString commas(1'000'000, ',');
    QList<MonitorSettings> records = FreshRecords(1);
    EXPECT_EQ(ApplySettingsLines({"AddMonitor(" + commas + "VBars=3)", "Config(" + commas + ")",
                                  "AddMonitor(\"" + commas, QString(1'000'000, 'x')},
                                 records),
              std::nullopt);
    EXPECT_EQ(Describe(records), "2 2 0 3");
}

class SettingsFolder : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override
    {
        SetSettingsWriteFault(nullptr);
        SetSettingsSaveStep(nullptr);
    }
    QString Folder() const { return dir.path() + "/Glowsweep Wizard/"; }
    QString File() const { return Folder() + SettingsFileName; }
    // Every name in the folder, hidden ones included: a failed save leaves no temporary file.
    QStringList Names() const
    {
        return QDir(Folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

TEST_F(SettingsFolder, SaveThenLoadRestoresEverything)
{
    const QList<MonitorSettings> saved = Records("0 4 20 0|3 1 -5 2147483647|4 0 0 1");
    for (const int32_t activate : {0, 1, -1}) {
        SaveSettingsFile(QFile::encodeName(Folder()), saved, activate);
        EXPECT_EQ(ReadAll(File()), EncodeSettingsFile(saved, activate));
        QList<MonitorSettings> loaded = FreshRecords(3);
        EXPECT_EQ(LoadSettingsFile(QFile::encodeName(Folder()), loaded), activate);
        EXPECT_EQ(loaded, saved);
    }
    EXPECT_EQ(Names(), QStringList({SettingsFileName}));
}

TEST_F(SettingsFolder, NoRegularFileLoadsNothing)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString real = dir.path() + "/real";
    WriteAll(real, "AddMonitor(ScanRate=4)");
    const QByteArray big = "AddMonitor(ScanRate=4)\n" + QByteArray(MaxSettingsFileSize, '/');
    const struct {
        const char *edge;
        std::function<void()> make;
        bool loads;
    } rows[] = {
        {"missing", [] {}, false},
        {"folder", [&] { QDir().mkdir(File()); }, false},
        {"fifo", [&] { ::mkfifo(QFile::encodeName(File()).constData(), 0644); }, false},
        {"link to fifo",
         [&] {
             ::mkfifo(QFile::encodeName(real + "fifo").constData(), 0644);
             QFile::link(real + "fifo", File());
         },
         false},
        {"link to device", [&] { QFile::link("/dev/zero", File()); }, false},
        {"link to folder", [&] { QFile::link(dir.path(), File()); }, false},
        {"over 1 MiB", [&] { WriteAll(File(), big.left(MaxSettingsFileSize + 1)); }, false},
        {"exactly 1 MiB", [&] { WriteAll(File(), big.left(MaxSettingsFileSize)); }, true},
        {"link to a file", [&] { QFile::link(real, File()); }, true},
    };
    for (const auto &row : rows) {
        row.make();
        QList<MonitorSettings> records = FreshRecords(1);
        LoadSettingsFile(QFile::encodeName(Folder()), records);
        EXPECT_EQ(records[0].ScanRate, row.loads ? 4 : 2) << row.edge;
        if (!QFile::remove(File()))
            QDir().rmdir(File());
        QFile::remove(real + "fifo");
    }
}

TEST_F(SettingsFolder, SaveReplacesALinkNeverItsTarget)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QString target = dir.path() + "/mine";
    WriteAll(target, "precious");
    ASSERT_TRUE(QFile::link(target, File()));
    SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(1), 0);
    EXPECT_EQ(ReadAll(target), QByteArray("precious"));
    EXPECT_FALSE(QFileInfo(File()).isSymLink());
    EXPECT_EQ(ReadAll(File()), EncodeSettingsFile(FreshRecords(1), 0));
}

TEST_F(SettingsFolder, FailedSavesKeepTheOldFileAndSaySo)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QByteArray old = EncodeSettingsFile(FreshRecords(1), 1);
    const auto expectFailure = [&](const QString &message) {
        try {
            SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(2), 0);
            ADD_FAILURE() << "saved: " << message.toStdString();
        } catch (const SettingsFileError &e) {
            EXPECT_EQ(e.message(), message);
        }
        EXPECT_EQ(ReadAll(File()), old);
        EXPECT_EQ(Names(), QStringList({SettingsFileName}));
    };

    WriteAll(File(), old);
    SetSettingsWriteFault([](qint64) { return true; });
    expectFailure("Stream write error");
    SetSettingsWriteFault(nullptr);

    ASSERT_TRUE(QFile::setPermissions(File(), QFile::ReadOwner | QFile::ReadGroup));
    expectFailure(CannotCreate(File(), EACCES));
}

TEST_F(SettingsFolder, FolderThatCannotBeMadeFailsTheFile)
{
    WriteAll(dir.path() + "/plain", "x");
    const QString folder = dir.path() + "/plain/sub/";
    try {
        SaveSettingsFile(QFile::encodeName(folder), FreshRecords(1), 0);
        ADD_FAILURE() << "saved";
    } catch (const SettingsFileError &e) {
        EXPECT_EQ(e.message(), CannotCreate(folder + SettingsFileName, ENOTDIR));
    }
}

// The folder is used as the system names it, in any bytes, and never a folder relative to
// wherever the program was started.
TEST_F(SettingsFolder, FolderNamedInAnyBytesAndNeverRelative)
{
    const QList<MonitorSettings> saved = Records("3 1 2 4|0 4 7 0");
    for (const QByteArray &name : {QByteArray("caf\xC3\xA9"), QByteArray("caf\xE9")}) {
        const QByteArray folder = QFile::encodeName(dir.path()) + '/' + name + "/sub/";
        SaveSettingsFile(folder, saved, 1);
        struct stat info {};
        EXPECT_EQ(::stat(folder + SettingsFileName, &info), 0) << name.toHex().toStdString();
        QList<MonitorSettings> loaded = FreshRecords(2);
        EXPECT_EQ(LoadSettingsFile(folder, loaded), 1) << name.toHex().toStdString();
        EXPECT_EQ(loaded, saved) << name.toHex().toStdString();
        // Qt's folder listing cannot name such entries, so the system's is asked.
        QList<QByteArray> entries;
        if (DIR *top = ::opendir(QFile::encodeName(dir.path()).constData())) {
            while (const dirent *entry = ::readdir(top))
                if (entry->d_name[0] != '.')
                    entries.append(entry->d_name);
            ::closedir(top);
        }
        EXPECT_EQ(entries, QList<QByteArray>({name})) << "no folder of a look-alike name";
        ::unlink(folder + SettingsFileName);
        ::rmdir(folder);
        ::rmdir(QFile::encodeName(dir.path()) + '/' + name);
    }

    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    WriteAll(SettingsFileName, EncodeSettingsFile(saved, 1));
    QList<MonitorSettings> loaded = FreshRecords(2);
    EXPECT_EQ(LoadSettingsFile("", loaded), std::nullopt);
    EXPECT_EQ(loaded, FreshRecords(2));
    EXPECT_THROW(SaveSettingsFile("sub/", saved, 0), SettingsFileError);
    EXPECT_FALSE(QFileInfo::exists("sub"));
    QDir::setCurrent(started);
}

// What a load of the folder gives at each step of an in-place rewrite (SetSettingsSaveStep),
// one line each: "<activate>:<records>".
QString stepFolder;
std::string stepTrace;

QString LoadedAs(const QString &folder)
{
    QList<MonitorSettings> records = FreshRecords(8);
    const std::optional<int32_t> activate = LoadSettingsFile(QFile::encodeName(folder), records);
    return QString::number(activate.value_or(-9)) + ':' + Describe(records);
}

void TraceStep()
{
    stepTrace += '\n' + LoadedAs(stepFolder).toStdString();
}

// Saves as another user (nobody) when run as root, whom permissions do not stop; returns the
// error message, or "saved", then the lines of stepTrace.
std::string SaveAsUnprivileged(const QString &folder,
                               const QList<MonitorSettings> &records = FreshRecords(1))
{
    const auto save = [&folder, &records]() -> std::string {
        stepTrace.clear();
        try {
            SaveSettingsFile(QFile::encodeName(folder), records, 0);
            return "saved" + stepTrace;
        } catch (const SettingsFileError &e) {
            return e.message().toStdString() + stepTrace;
        }
    };
    if (::geteuid() != 0)
        return save();
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const gid_t nogroup = 65534;
        const bool dropped = ::setgroups(1, &nogroup) == 0 &&
                             ::setresgid(nogroup, nogroup, nogroup) == 0 &&
                             ::setresuid(65534, 65534, 65534) == 0;
        const std::string result = dropped ? save() : "no unprivileged user";
        ssize_t ignored = ::write(pipeEnds[1], result.data(), result.size());
        static_cast<void>(ignored);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

TEST_F(SettingsFolder, PermissionsOfFolderAndOwnerHold)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QByteArray old = "old";
    WriteAll(File(), old);

    ::chmod(QFile::encodeName(Folder()).constData(), 0555);
    EXPECT_EQ(SaveAsUnprivileged(Folder()), CannotCreate(File(), EACCES).toStdString());
    EXPECT_EQ(ReadAll(File()), old);

    // A folder everyone may write, holding a file another user owns.
    ::chmod(QFile::encodeName(Folder()).constData(), 0777);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hold a file of another user";
    EXPECT_EQ(SaveAsUnprivileged(Folder()), CannotCreate(File(), EACCES).toStdString());
    EXPECT_EQ(ReadAll(File()), old);
    EXPECT_EQ(Names(), QStringList({SettingsFileName}));
}

TEST_F(SettingsFolder, SharedFolderLetsTheNextUserReplaceTheFile)
{
    // The settings folder is made world-writable, and a file saved in it stays replaceable.
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(2), 1);
    struct stat folderInfo {
    }, fileInfo{};
    ASSERT_EQ(::stat(QFile::encodeName(Folder()).constData(), &folderInfo), 0);
    EXPECT_EQ(folderInfo.st_mode & 07777, 0777u);
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &fileInfo), 0);
    EXPECT_EQ(fileInfo.st_mode & 0777, 0666u);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as a second user";
    EXPECT_EQ(SaveAsUnprivileged(Folder()), "saved");
    EXPECT_EQ(ReadAll(File()), EncodeSettingsFile(FreshRecords(1), 0));

    // In a folder only its owner may write, a new file is not opened up to others.
    ::chmod(QFile::encodeName(Folder()).constData(), 0755);
    QFile::remove(File());
    SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(1), 0);
    ASSERT_EQ(::stat(QFile::encodeName(File()).constData(), &fileInfo), 0);
    EXPECT_EQ(fileInfo.st_mode & 0022, 0u);
}

// Sets the POSIX ACL `name` (system.posix_acl_access or _default) of `mode` that also lets
// nobody read and write; false where the file system has none. Little-endian hosts only.
bool SetAclForNobody(const QString &path, const char *name, mode_t mode)
{
    const uint32_t any = 0xFFFFFFFF; // each entry: its tag | its permissions << 16, then an id
    const uint32_t entries[][2] = {{1 | (mode >> 6 & 7) << 16, any},
                                   {2 | 6 << 16, 65534},
                                   {4 | (mode >> 3 & 7) << 16, any},
                                   {0x10 | 6 << 16, any},
                                   {0x20 | (mode & 7) << 16, any}};
    const QByteArray acl = QByteArray::fromHex("02000000") +
                           QByteArray(reinterpret_cast<const char *>(entries), sizeof entries);
    return ::setxattr(QFile::encodeName(path).constData(), name, acl.constData(),
                      static_cast<size_t>(acl.size()), 0) == 0;
}

// Root's save (a nightly wash) leaves the file to whoever could save it before: a new file with
// the old one's mode and owner, or the old file where it stands.
TEST_F(SettingsFolder, SaveKeepsWhoMaySaveNext)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to other users";
    const struct {
        const char *edge;
        mode_t folderMode, fileMode;
        uid_t owner;
        const char *acl; // on the file (which is then rewritten in place) or the folder's default
        bool nobodySavesNext;
    } rows[] = {
        {"locked folder, file anyone may write", 0755, 0666, 0, nullptr, true},
        {"shared folder, file only its owner may write", 0777, 0600, 65534, nullptr, true},
        {"file that an ACL lets nobody write", 0755, 0644, 0, "system.posix_acl_access", true},
        {"ACL that the folder hands down", 0755, 0664, 0, "system.posix_acl_default", false},
    };
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    const QByteArray file = QFile::encodeName(File());
    for (const auto &row : rows) {
        ASSERT_TRUE(QDir().mkpath(Folder()));
        WriteAll(File(), "old");
        ::chown(file, row.owner, row.owner);
        ::chmod(file, row.fileMode);
        const bool onFile = row.acl && std::strstr(row.acl, "access");
        if (row.acl && !SetAclForNobody(onFile ? File() : Folder(), row.acl, row.fileMode))
            GTEST_SKIP() << "no POSIX ACLs here: " << std::strerror(errno);
        ::chmod(QFile::encodeName(Folder()), row.folderMode);
        struct stat before {
        }, after{};
        ::stat(file, &before);
        SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(2), 1);
        ::stat(file, &after);
        EXPECT_EQ(std::tuple(ReadAll(File()), after.st_mode, after.st_uid, after.st_gid,
                             after.st_ino == before.st_ino,
                             ::getxattr(file, "system.posix_acl_access", nullptr, 0) >= 0),
                  std::tuple(EncodeSettingsFile(FreshRecords(2), 1), before.st_mode, row.owner,
                             row.owner, onFile, onFile))
            << row.edge;
        EXPECT_EQ(SaveAsUnprivileged(Folder()) == "saved", row.nobodySavesNext) << row.edge;
        QDir(Folder()).removeRecursively();
    }
}

TEST_F(SettingsFolder, FullDiskKeepsTheOldFile)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const QByteArray folder = QFile::encodeName(Folder());
    if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    struct Unmount {
        const char *path;
        ~Unmount() { ::umount2(path, MNT_DETACH); }
    } unmount{folder.constData()};

    const QByteArray old = EncodeSettingsFile(FreshRecords(1), 1);
    WriteAll(File(), old);
    QFile filler(Folder() + "filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) > 0) {
    }
    filler.close();
    try {
        SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(2), 0);
        ADD_FAILURE() << "saved on a full disk";
    } catch (const SettingsFileError &e) {
        EXPECT_EQ(e.message(), "Stream write error");
    }
    EXPECT_EQ(ReadAll(File()), old);
    EXPECT_EQ(Names(), QStringList({"filler", SettingsFileName}));
}

// A folder that lets this user write the file but not create files beside it: the file is
// rewritten where it stands, and every refusal of a save holds there too.
TEST_F(SettingsFolder, LockedFolderRewritesAWritableFileInPlace)
{
    const QString target = dir.path() + "/target";
    const QByteArray old = EncodeSettingsFile(FreshRecords(1), 1);
    const QByteArray saved =
        EncodeSettingsFile(FreshRecords(1), 0); // what SaveAsUnprivileged writes
    const QString denied = CannotCreate(File(), EACCES);
    const struct {
        const char *edge;
        std::function<void()> make;
        bool fault;
        std::string result;
        QByteArray content;
    } rows[] = {
        {"writable file", [&] { WriteAll(File(), old); }, false, "saved", saved},
        {"writable file longer than the new content: cut where the new content ends",
         [&] { WriteAll(File(), EncodeSettingsFile(FreshRecords(3), 1)); }, false, "saved", saved},
        {"writable file shorter than the new content", [&] { WriteAll(File(), old.left(7)); },
         false, "saved", saved},
        {"a write that fails leaves the old bytes", [&] { WriteAll(File(), old); }, true,
         "Stream write error", old},
        {"read-only file", [&] { WriteAll(File(), old); }, false, denied.toStdString(), old},
        {"link to a writable file",
         [&] {
             WriteAll(target, old);
             QFile::link(target, File());
         },
         false, denied.toStdString(), old},
        {"fifo", [&] { ::mkfifo(QFile::encodeName(File()).constData(), 0666); }, false,
         denied.toStdString(), ""},
    };
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    for (const auto &row : rows) {
        ASSERT_TRUE(QDir().mkpath(Folder()));
        row.make();
        const QFileInfo before(File());
        const bool readOnly = std::string(row.edge) == "read-only file";
        ::chmod(QFile::encodeName(before.isSymLink() ? target : File()).constData(),
                readOnly ? 0444 : 0666);
        ::chmod(QFile::encodeName(Folder()).constData(), 0555);
        const ino_t inode = Inode(File());
        SetSettingsWriteFault(row.fault ? +[](qint64) { return true; } : nullptr);
        EXPECT_EQ(SaveAsUnprivileged(Folder()), row.result) << row.edge;
        SetSettingsWriteFault(nullptr);
        if (QFileInfo(File()).isSymLink()) {
            EXPECT_EQ(ReadAll(target), old) << row.edge << ": the link's target is untouched";
        } else if (QFileInfo(File()).isFile()) {
            EXPECT_EQ(std::pair(ReadAll(File()), Inode(File())), std::pair(row.content, inode))
                << row.edge << ": the same file, with these bytes";
        }
        EXPECT_EQ(Names(), QStringList({SettingsFileName})) << row.edge;
        ::chmod(QFile::encodeName(Folder()).constData(), 0755);
        QDir(Folder()).removeRecursively();
        QFile::remove(target);
    }
}

// A rewrite in place killed between any two of its steps leaves a file that loads as the old
// settings or as the new ones, never as new lines followed by old ones.
TEST_F(SettingsFolder, InPlaceRewriteNeverLoadsAsAMixture)
{
    const QList<MonitorSettings> eight =
        Records("0 0 1 1|1 1 2 2|2 2 3 3|3 3 4 4|4 4 5 5|0 1 6 6|1 2 7 7|2 3 8 8");
    const QList<MonitorSettings> three = Records("4 4 9 9|3 3 8 8|2 2 7 7");
    QByteArray utf8 = "\xEF\xBB\xBF"
                      "Config(Activate=1)\r\n";
    for (int i = 0; i < 8; ++i)
        utf8 += "AddMonitor(ScanRate=1,BarSize=1,HBars=5,VBars=5)\r\n";
    const struct {
        const char *edge;
        QByteArray old;
        QList<MonitorSettings> saved;
    } rows[] = {
        {"eight monitors rewritten for three", EncodeSettingsFile(eight, 1), three},
        {"three rewritten for eight", EncodeSettingsFile(three, 1), eight},
        {"a longer UTF-8 file", utf8, three},
    };
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    stepFolder = Folder();
    for (const auto &row : rows) {
        ASSERT_TRUE(QDir().mkpath(Folder()));
        WriteAll(File(), row.old);
        ::chmod(QFile::encodeName(File()).constData(), 0666);
        ::chmod(QFile::encodeName(Folder()).constData(), 0555);
        const QString before = LoadedAs(Folder());
        SetSettingsSaveStep(&TraceStep);
        QStringList steps =
            QString::fromStdString(SaveAsUnprivileged(Folder(), row.saved)).split('\n');
        SetSettingsSaveStep(nullptr);
        const QString after = LoadedAs(Folder());
        EXPECT_EQ(steps.takeFirst(), "saved") << row.edge;
        EXPECT_EQ(ReadAll(File()), EncodeSettingsFile(row.saved, 0)) << row.edge;
        EXPECT_EQ(steps.size(), 2) << row.edge << ": written, then cut to length";
        for (const QString &step : steps)
            EXPECT_TRUE(step == before || step == after) << row.edge << ": " << step.toStdString();
        ::chmod(QFile::encodeName(Folder()).constData(), 0755);
        QDir(Folder()).removeRecursively();
    }
}

// A save waits for another save of the same file, but not for ever: a lock held past the wait
// fails the save as a locked file does, the replacement and the rewrite in place alike, and
// leaves the file as it was.
TEST_F(SettingsFolder, SavesTakeTurnsAndALockHeldOnFailsTheSave)
{
    const QByteArray old = EncodeSettingsFile(FreshRecords(2), 1);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    for (const mode_t folderMode : {mode_t{0777}, mode_t{0555}}) {
        const std::string edge = folderMode == 0777 ? "replaced" : "rewritten in place";
        ASSERT_TRUE(QDir().mkpath(Folder()));
        WriteAll(File(), old);
        ::chmod(QFile::encodeName(File()).constData(), 0666);
        ::chmod(QFile::encodeName(Folder()).constData(), folderMode);
        const int holder = ::open(QFile::encodeName(File()).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        QElapsedTimer waited;
        waited.start();
        EXPECT_EQ(SaveAsUnprivileged(Folder()),
                  "Cannot create file \"" + File().toStdString() + "\". " + FileLockedText)
            << edge;
        EXPECT_GE(waited.elapsed(), SettingsLockWaitMs - 100) << edge;
        EXPECT_LT(waited.elapsed(), SettingsLockWaitMs + 3000) << edge;
        EXPECT_EQ(ReadAll(File()), old) << edge;
        ::close(holder);
        EXPECT_EQ(SaveAsUnprivileged(Folder()), "saved") << edge << ": once the lock is let go";
        ::chmod(QFile::encodeName(Folder()).constData(), 0755);
        QDir(Folder()).removeRecursively();
    }
}

// Only our own temporaries, and only those a finished save cannot still be using.
TEST_F(SettingsFolder, StaleTemporariesAreRemovedAndNothingElse)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    const long long now = 2'000'000'000;
    const auto age = [&](const QString &name, long long seconds) {
        const struct timespec times[2] = {{now - seconds, 0}, {now - seconds, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(Folder() + name).constData(), times,
                    AT_SYMLINK_NOFOLLOW);
    };
    const struct {
        const char *name;
        const char *kind;
        long long age;
        bool removed;
    } rows[] = {
        {".lumenrun.config.3k9zq0a1bc2de", "file", StaleTemporaryAge + 1, true},
        {".lumenrun.config.3k9zq0a1bc2df", "file", StaleTemporaryAge, false}, // still being saved
        {".lumenrun.config.1a2b3c", "link", 86400, false},
        {".lumenrun.config.4d5e6f", "folder", 86400, false},
        {".lumenrun.config.ABC", "file", 86400, false},
        {".lumenrun.config.", "file", 86400, false},
        {"lumenrun.config.abc", "file", 86400, false},
    };
    for (const auto &row : rows) {
        const QString path = Folder() + row.name;
        if (std::string(row.kind) == "file")
            WriteAll(path, "x");
        else if (std::string(row.kind) == "link")
            QFile::link(File(), path);
        else
            QDir().mkdir(path);
        age(row.name, row.age);
    }
    RemoveStaleTemporaries(QFile::encodeName(File()), now);
    for (const auto &row : rows)
        EXPECT_EQ(!QFileInfo(Folder() + row.name).isSymLink() &&
                      !QFileInfo::exists(Folder() + row.name),
                  row.removed)
            << row.name;
}

// While the new file is written it has no name in the folder (where the file system allows),
// so a save killed at that moment leaves nothing behind.
TEST_F(SettingsFolder, FileBeingWrittenHasNoName)
{
    static QStringList seenWhileWriting;
    static QString folder;
    seenWhileWriting.clear();
    folder = Folder();
    ASSERT_TRUE(QDir().mkpath(Folder()));
    SetSettingsWriteFault([](qint64) {
        seenWhileWriting += QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        return false;
    });
    SaveSettingsFile(QFile::encodeName(Folder()), FreshRecords(2), 1);
    EXPECT_EQ(seenWhileWriting, QStringList());
    EXPECT_EQ(ReadAll(File()), EncodeSettingsFile(FreshRecords(2), 1));
    EXPECT_EQ(Names(), QStringList({SettingsFileName}));
}

} // namespace
