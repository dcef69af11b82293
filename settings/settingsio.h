#pragma once

// File access for the settings file, implemented once per platform (settingsio_<os>.cpp);
// what every platform shares is in settingsio.cpp. Paths are in the system's own 8-bit bytes
// (QFile::encodeName), which on Unix need not be UTF-8: a folder named in any bytes is used as
// it is named.

#include "settings/settingsfileerror.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

/// The bytes of the file at `path` when it is a regular file (a link to one included) of at
/// most `maxSize` bytes; nullopt for anything else and on any failure. Never blocks on a FIFO
/// or a device, and checks the type and size on what it opened.
std::optional<QByteArray> ReadRegularFile(const QByteArray &path, qint64 maxSize);

/// The bytes that `readSome` gives until it reports the end, when they are at most `maxSize`;
/// nullopt when there are more or when it fails. `readSome(buffer, capacity)` stores up to
/// `capacity` bytes and returns their count, 0 at the end, or -1 on failure.
std::optional<QByteArray> ReadAtMost(qint64 maxSize,
                                     const std::function<qint64(char *, qint64)> &readSome);

/// Creates `folder` with any missing parents when it does not exist. Every local user keeps
/// settings in the one shared folder, so a folder made here lets every user create and replace
/// files in it, as the installed program's folder does. Failure is not reported: creating the
/// file in it fails instead.
void CreateSharedFolder(const QByteArray &folder);

/// Replaces the file at `path` by one holding `bytes`: writes a new file in the same folder (with
/// no name where the file system allows, else with an unpredictable one, created exclusively),
/// flushes it to disk and renames it over `path`. A save never changes who may save next: the
/// new file takes the permission bits of the regular file it replaces (not its set-ID and sticky
/// bits, nor an ACL the folder hands down), its group where this user may give it that, and when
/// root saves, its owner. Where no file is replaced and other users may write the folder, the new
/// file is writable by them too, so that the next user's save may replace it.
///
/// The existing regular file is rewritten in place instead where the folder does not let this
/// user create a file but the file may be written, and where a new file could not be given the
/// same access: the file carries a POSIX ACL, or the new file cannot be given its owner or mode.
/// A link, a device or a read-only file is still refused. The rewrite covers what remains of the
/// old length with NUL bytes, which end the text (DecodeSettingsText), before it cuts the file to
/// length, so the file reads as the old bytes or as the new ones at every moment the program may
/// be killed.
///
/// Saves of one file take turns: where a file exists, it is held under an exclusive advisory lock
/// (flock) until the save is done, by the in-place rewrite and the replacement alike. A lock not
/// had within SettingsLockWaitMs fails the save with the cause FileLockedText.
///
/// Throws SettingsFileError; on failure the file at `path` is as it was and no temporary file
/// remains. Stale temporary files of earlier saves are removed first (RemoveStaleTemporaries).
void ReplaceFileAtomically(const QByteArray &path, const QByteArray &bytes);

/// How long a save waits for another save of the same file to finish: saves take milliseconds,
/// and a close must not hang behind a lock that is never released.
inline constexpr int SettingsLockWaitMs = 2000;

/// How old, in seconds, a temporary file of a save must be before a later save removes it: a
/// save takes a moment, so one this old was left by a save that never finished.
inline constexpr long long StaleTemporaryAge = 5 * 60;

/// Removes from the folder of the file at `path` the temporary files that its saves left behind
/// (a crash, a kill): regular files, never links or folders, named as a save names them, last
/// changed more than StaleTemporaryAge seconds before `now` (seconds since the epoch).
void RemoveStaleTemporaries(const QByteArray &path, long long now);

/// "Cannot create file "<path>". <systemText>", or with "Unspecified error (<code>) from
/// system." when the system gives no text.
QString CannotCreateFileText(const QString &path, int errorCode, const QString &systemText);

inline constexpr char StreamWriteErrorText[] = "Stream write error";

/// The cause in "Cannot create file" when another program holds the file locked, on every
/// platform, in place of the system's text (on Unix "Resource temporarily unavailable").
inline constexpr char FileLockedText[] = "The file is locked by another program.";

/// Test seam: when set, asked before each write of the new file's bytes (with the count already
/// written); returning true makes that write fail as on a full disk.
using SettingsWriteFault = bool (*)(qint64 written);
void SetSettingsWriteFault(SettingsWriteFault fault);
/// What the platform code asks before each write: true when the seam fails this write.
bool SettingsWriteFails(qint64 written);

/// Test seam: when set, called by an in-place rewrite after each step that changes the file (the
/// bytes written, the file cut to length), so that a test can look at the file in between.
using SettingsSaveStep = void (*)();
void SetSettingsSaveStep(SettingsSaveStep step);
/// What the platform code calls after each such step.
void SettingsSaveStepDone();
