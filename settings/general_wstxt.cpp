#include "settings/general_wstxt.h"

#include <limits>

namespace {

constexpr char16_t Blank = u' ';
constexpr char16_t Quote = u'"';
constexpr char16_t Comma = u',';

template <typename Text> Text TrimBlanks(const Text &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == Blank)
        ++first;
    while (last > first && text[last - 1] == Blank)
        --last;
    return text.mid(first, last - first);
}

int32_t ToPosition(qsizetype index)
{
    // Settings lines come from files of at most 1 MiB; a position past the 32-bit range
    // cannot be reported and counts as not found.
    if (index < 0 || index >= std::numeric_limits<int32_t>::max())
        return 0;
    return static_cast<int32_t>(index + 1);
}

} // namespace

bool IsDataLine(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    const char first = line.front();
    return first != '/' && first != '#' && first != ';';
}

bool StartsWith(const QString &text, const QString &prefix)
{
    if (text.isEmpty() || prefix.isEmpty())
        return false;
    return text.startsWith(prefix, Qt::CaseSensitive);
}

int32_t PosFrom(const QString &pattern, const QString &text, int32_t start)
{
    if (text.isEmpty() || pattern.isEmpty() || pattern.size() > text.size())
        return 0;
    const qsizetype from = start < 1 ? 0 : qsizetype{start} - 1;
    if (from > text.size() - pattern.size())
        return 0;
    return ToPosition(text.indexOf(pattern, from, Qt::CaseSensitive));
}

int32_t CountArguments(const QString &line)
{
    qsizetype commas = 0;
    if (!line.contains(Quote)) {
        commas = line.count(Comma);
    } else {
        bool inQuotes = false;
        bool quoteMayOpen = true;
        const qsizetype last = line.size() - 1;
        for (qsizetype i = 0; i <= last; ++i) {
            const char16_t c = line[i].unicode();
            if (inQuotes) {
                inQuotes = c != Quote;
                quoteMayOpen = false;
                continue;
            }
            if (c == Quote && quoteMayOpen) {
                inQuotes = true;
                continue;
            }
            quoteMayOpen = c == u'(';
            if (c == Comma && i != last) {
                ++commas;
                quoteMayOpen = true;
            }
        }
    }
    if (commas >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(commas + 1);
}

ArgumentReader::ArgumentReader(QStringView line)
{
    const qsizetype open = line.indexOf(u'(');
    if (open < 0)
        return;
    const qsizetype close = line.lastIndexOf(u')');
    if (close <= open)
        return;
    list_ = line.sliced(open + 1, close - open - 1);
    done_ = false;
}

bool ArgumentReader::Next(QStringView &argument)
{
    if (done_)
        return false;
    const qsizetype start = pos_;
    qsizetype separator = -1;
    if (start < list_.size() && list_[start] == Quote) {
        const qsizetype closing = list_.indexOf(Quote, start + 1);
        if (closing < 0) {
            argument = list_.sliced(start);
            done_ = true;
            return true;
        }
        argument = list_.sliced(start + 1, closing - start - 1);
        separator = list_.indexOf(Comma, closing + 1);
    } else {
        separator = list_.indexOf(Comma, start);
        argument = list_.sliced(start, (separator < 0 ? list_.size() : separator) - start);
    }
    if (separator < 0)
        done_ = true;
    else
        pos_ = separator + 1;
    return true;
}

QString GetArgument(int32_t n, const QString &line, bool trim)
{
    if (n < 1)
        return {};
    ArgumentReader reader(line);
    QStringView argument;
    for (int32_t k = 1; k <= n; ++k) {
        if (!reader.Next(argument))
            return {};
    }
    return trim ? TrimBlanks(argument).toString() : argument.toString();
}

QByteArray ArgumentKey(const QByteArray &argument)
{
    const qsizetype equals = argument.indexOf('=');
    if (equals < 0)
        return {};
    return TrimBlanks(argument.left(equals));
}

QString ArgumentValue(const QString &argument, bool trim)
{
    const qsizetype equals = argument.indexOf(u'=');
    QString value = equals < 0 ? argument : argument.mid(equals + 1);
    return trim ? TrimBlanks(value) : value;
}
