#pragma once

#include <QByteArray>
#include <cstdint>

/// The shell's number for the folder of application data shared by all users.
inline constexpr int32_t CommonAppDataFolder = 35;

/// The path of special folder `number` as 8-bit text, normally without a trailing separator,
/// or empty text when the system gives none.
QByteArray GetSpecialFolder(int32_t number);

/// Unix: `root` when its settings subfolder exists as a folder, or is missing and `root` lets
/// this user create it; else empty. GetSpecialFolder(CommonAppDataFolder) is this for /var/lib.
QByteArray SharedDataRoot(const QByteArray &root);

/// The settings subfolder, joined to the special folder's path by plain concatenation.
extern const QByteArray SettingsSubfolder;

/// The program file's full path in the system's own bytes, which on Unix need not be UTF-8:
/// absolute, or empty when the system does not tell.
QByteArray ProgramFilePath();

/// The folder part of a file's full path: everything up to and including the last path
/// separator (or drive colon, where the system has drives).
QByteArray ExtractFolder(const QByteArray &path);
