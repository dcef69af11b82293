#include "app/specialfolder.h"

#include "app/folderpath.h"

#include <sys/stat.h>
#include <unistd.h>

// On Linux and other Unix systems the folder shared by all users for application data is
// /var/lib. It only counts when this user can keep settings there: the program's own folder
// in it exists and is writable, or it is missing and /var/lib lets this user create it.
// Otherwise the caller falls back to the program's own folder.

const QByteArray SettingsSubfolder = "/Glowsweep Wizard/";

namespace {

bool IsWritableFolder(const char *path)
{
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode) && access(path, W_OK | X_OK) == 0;
}

} // namespace

QByteArray GetSpecialFolder(int32_t number)
{
    if (number != CommonAppDataFolder)
        return {};
    const QByteArray root = "/var/lib";
    const QByteArray own = root + "/Glowsweep Wizard";
    struct stat st {};
    if (lstat(own.constData(), &st) == 0)
        return IsWritableFolder(own.constData()) ? root : QByteArray();
    return IsWritableFolder(root.constData()) ? root : QByteArray();
}

QByteArray ExtractFolder(const QByteArray &path)
{
    return ExtractFolderAt(path, UnixPathSeparators);
}
