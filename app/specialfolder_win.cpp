#include "app/specialfolder.h"

#include "app/folderpath.h"

#include <shlobj.h>
#include <windows.h>

const QByteArray SettingsSubfolder = "\\Glowsweep Wizard\\";

QByteArray GetSpecialFolder(int32_t number)
{
    QByteArray result;
    LPITEMIDLIST location = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, number, &location)))
        return result;
    char buffer[MAX_PATH] = {};
    if (SHGetPathFromIDListA(location, buffer))
        result = buffer;
    IMalloc *malloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&malloc))) {
        malloc->Free(location);
        malloc->Release();
    }
    return result;
}

QByteArray ExtractFolder(const QByteArray &path)
{
    return ExtractFolderAt(path, WindowsPathSeparators);
}
