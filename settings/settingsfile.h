#pragma once

// The settings file: its text codec, its lines, and loading and saving it in a folder. No
// widgets: the main window hands in its records and its "Activate on" index.

#include "app/monitorsettings.h"
#include "settings/settingsfileerror.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

inline constexpr char SettingsFileName[] = "lumenrun.config";

/// Files larger than this are not read: a real settings file is well under 1 KiB.
inline constexpr qint64 MaxSettingsFileSize = 1024 * 1024;

/// The text of a settings file as lines. The first bytes choose the encoding: FF FE UTF-16LE,
/// FE FF UTF-16BE, EF BB BF UTF-8, anything else the system's 8-bit encoding. A line ends at CR,
/// LF or U+2028, and CR, LF, U+2028 in that order form one break; a break at the end adds no
/// line. U+0000 ends the text. A dangling odd byte of UTF-16 is dropped; unpaired surrogates are
/// kept as they are.
QStringList DecodeSettingsText(const QByteArray &bytes);

/// Converts a value that is already trimmed: an optional sign, then decimal digits within the
/// signed 32-bit range, or "$", "x", "X", "0x" or "0X" and hexadecimal digits within 32 bits,
/// taken as a 32-bit pattern ("$FFFFFFFF" is -1; a minus sign negates the pattern modulo 2^32).
/// Anything else leaves `out` unchanged and returns false.
bool ConvertSettingsInteger(const QString &value, int32_t &out);

/// Applies settings lines over `records`: the n-th AddMonitor line sets record n-1, surplus
/// lines are dropped, records without a line keep their values. Returns the "Activate on"
/// value of the last Config line that has an activate key (0 when that value does not
/// convert), or nullopt when none has. ScanRate and BarSize outside 0 to 4 take their default.
std::optional<int32_t> ApplySettingsLines(const QStringList &lines,
                                          QList<MonitorSettings> &records);

/// The "Activate on" choice a loaded value selects: 0 (selected monitor), 1 (all monitors), or
/// -1 (no selection) for any other value.
int32_t ActivateChoice(int32_t loaded);

/// The whole file as saved: FF FE, then UTF-16LE lines each ending in CR LF: the comment
/// header, Config(Activate=<activateIndex>), and one AddMonitor line per record, in order.
QByteArray EncodeSettingsFile(const QList<MonitorSettings> &records, int32_t activateIndex);

/// Loads `configFolder` + SettingsFileName over `records` (see ApplySettingsLines). A missing
/// file, anything but a regular file, a file over MaxSettingsFileSize or one that cannot be read
/// changes nothing and returns nullopt. `configFolder` is in the system's own bytes, as
/// ConfigFolder holds it, and ends with a separator; one that is not absolute (the program's
/// folder was not found) has no file. Never throws.
std::optional<int32_t> LoadSettingsFile(const QByteArray &configFolder,
                                        QList<MonitorSettings> &records);

/// Creates `configFolder` with missing parents, then replaces the settings file in it by a
/// complete new one, or throws SettingsFileError and leaves the old file untouched. The new file
/// is written beside it under a fresh name and renamed over it, so a symbolic link at the path
/// is itself replaced and its target is never written; it keeps the old file's permissions, and
/// when root saves, its owner (ReplaceFileAtomically tells where the file is rewritten in place
/// instead). An existing file this user may not write
/// is not replaced (as root: one with no write permission bit at all). A folder that is not
/// absolute fails as a missing one does, so nothing is written in the current folder.
void SaveSettingsFile(const QByteArray &configFolder, const QList<MonitorSettings> &records,
                      int32_t activateIndex);
