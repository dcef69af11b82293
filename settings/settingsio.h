#pragma once

// File access for the settings file, implemented once per platform (settingsio_<os>.cpp).

#include <QByteArray>
#include <QString>
#include <optional>

/// The bytes of the file at `path` when it is a regular file (a link to one included) of at
/// most `maxSize` bytes; nullopt for anything else and on any failure. Never blocks on a FIFO
/// or a device, and checks the type and size on what it opened.
std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 maxSize);

/// Creates `folder` with any missing parents when it does not exist. Every local user keeps
/// settings in the one shared folder, so a folder made here lets every user create and replace
/// files in it, as the installed program's folder does. Failure is not reported: creating the
/// file in it fails instead.
void CreateSharedFolder(const QString &folder);

/// Replaces the file at `path` by one holding `bytes`: writes a new file with an unpredictable
/// name in the same folder (exclusive create), flushes it to disk and renames it over `path`.
/// In a folder that other users may write, the new file is writable by them too, so that the
/// next user's save may replace it. Throws SettingsFileError; on failure the file at `path` is as
/// it was and no temporary file remains.
void ReplaceFileAtomically(const QString &path, const QByteArray &bytes);

/// "Cannot create file "<path>". <systemText>", or with "Unspecified error (<code>) from
/// system." when the system gives no text.
QString CannotCreateFileText(const QString &path, int errorCode, const QString &systemText);

inline constexpr char StreamWriteErrorText[] = "Stream write error";

/// Test seam: when set, asked before each write of the new file's bytes (with the count already
/// written); returning true makes that write fail as on a full disk.
using SettingsWriteFault = bool (*)(qint64 written);
void SetSettingsWriteFault(SettingsWriteFault fault);
/// What the platform code asks before each write: true when the seam fails this write.
bool SettingsWriteFails(qint64 written);
