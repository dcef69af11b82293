#pragma once

// Takes one settings line apart: a name, "(", arguments separated by commas, ")"; an argument
// is usually key=value. Positions and argument numbers are 1-based, 0 means "not found".
// A character is one UTF-16 code unit (QString) or one byte of the system's 8-bit encoding
// (QByteArray). A blank is U+0020 alone. No function fails: malformed input gives empty
// text, 0, 1 or false as stated per function.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>

/// False for an empty line and for a comment (first byte "/", "#" or ";"); true otherwise.
bool IsDataLine(const QByteArray &line);

/// True when `text` begins with `prefix`, case-sensitive; false when either is empty.
bool StartsWith(const QString &text, const QString &prefix);

/// Position of the first occurrence of `pattern` in `text` at or after `start`, or 0 (also for
/// an empty text or pattern). A start below 1 is taken as 1.
int32_t PosFrom(const QString &pattern, const QString &text, int32_t start);

/// 1 plus the commas of the whole line that count. Without a double quote every comma counts.
/// With one, commas inside quoted text and a comma that is the line's last character do not;
/// quoted text opens at a double quote that is the line's first character or follows any "("
/// or a counted comma. At least 1. Not always the number of arguments GetArgument sees.
int32_t CountArguments(const QString &line);

/// The n-th argument of the argument list (between the first "(" and the last ")"), or empty
/// text. An argument that begins with a double quote is quoted: its commas do not separate,
/// the quotes are removed and text after the closing quote is dropped; an unclosed quote runs
/// to the end of the list and keeps its opening quote. With `trim`, blanks are removed at both
/// ends of the result.
QString GetArgument(int32_t n, const QString &line, bool trim);

/// The text before the first "=", with blanks removed at both ends; empty without "=".
QByteArray ArgumentKey(const QByteArray &argument);

/// The text after the first "=", or the whole argument without "="; trimmed with `trim`.
QString ArgumentValue(const QString &argument, bool trim);

/// Reads the arguments of a line one after another, as GetArgument(1, 2, ...) gives them
/// untrimmed, in a single pass over the line (calling GetArgument for every n walks the line
/// from its start each time). The views point into the line, which must outlive the reader.
class ArgumentReader {
public:
    explicit ArgumentReader(QStringView line);
    /// The next argument, or false when the list has no more (or the line has no list).
    bool Next(QStringView &argument);

private:
    QStringView list_;
    qsizetype pos_ = 0;
    bool done_ = true;
};
