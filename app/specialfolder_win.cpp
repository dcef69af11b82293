#include "app/specialfolder.h"

#include "app/folderpath.h"

#include <QCoreApplication>
#include <QDir>

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

QByteArray ProgramFilePath()
{
    // Qt gives the path with "/" separators; the folder is cut at the system's own.
    return QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toLocal8Bit();
}

QByteArray ExtractFolder(const QByteArray &path)
{
    return ExtractFolderAt(path, WindowsPathSeparators);
}
