#include "app/specialfolder.h"

#include "app/folderpath.h"

#include <QCoreApplication>
#include <QFile>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

// On Linux and other Unix systems the folder shared by all users for application data is
// /var/lib. Its subfolder "Glowsweep Wizard" is the settings folder whenever it exists as a
// folder, whether or not this user may create files in it (an administrator may lock it, and the
// file in it may still be writable), or when it is missing and /var/lib lets this user create it.
// Otherwise the caller falls back to the program's own folder.

const QByteArray SettingsSubfolder = "/Glowsweep Wizard/";

namespace {

bool IsFolder(const char *path)
{
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QByteArray SharedDataRoot(const QByteArray &root)
{
    const QByteArray own = root + SettingsSubfolder.chopped(1);
    struct stat st {};
    if (lstat(own.constData(), &st) == 0)
        return IsFolder(own.constData()) ? root : QByteArray();
    return IsFolder(root.constData()) && access(root.constData(), W_OK | X_OK) == 0 ? root
                                                                                    : QByteArray();
}

QByteArray GetSpecialFolder(int32_t number)
{
    return number == CommonAppDataFolder ? SharedDataRoot("/var/lib") : QByteArray();
}

QByteArray ProgramFilePath()
{
    // The link's own bytes: Qt's path would turn a name that is not UTF-8 into other text.
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n > 0 && static_cast<size_t>(n) < sizeof buffer && buffer[0] == '/')
        return QByteArray(buffer, static_cast<qsizetype>(n));
    const QByteArray path = QFile::encodeName(QCoreApplication::applicationFilePath());
    return path.startsWith('/') ? path : QByteArray();
}

QByteArray ExtractFolder(const QByteArray &path)
{
    return ExtractFolderAt(path, UnixPathSeparators);
}
