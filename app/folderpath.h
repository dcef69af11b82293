#pragma once

#include <QByteArray>
#include <string_view>

/// The characters after which a path's folder part ends, by kind of system: Windows also
/// ends it after a drive colon ("C:file").
inline constexpr std::string_view UnixPathSeparators = "/";
inline constexpr std::string_view WindowsPathSeparators = "\\:";

/// The folder part of a file's full path: everything up to and including the last character
/// that is one of `separators`, or empty text when there is none.
QByteArray ExtractFolderAt(const QByteArray &path, std::string_view separators);
