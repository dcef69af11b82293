// The first byte chooses the call: bit 0 trims, bit 1 reads the rest as raw UTF-16 code units
// (unpaired surrogates included) rather than UTF-8, bits 2-7 give the argument number - 2.

#include "settings/general_wstxt.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool HasOuterBlank(QStringView text)
{
    return !text.isEmpty() && (text.front() == u' ' || text.back() == u' ');
}

QString Trimmed(QString text)
{
    while (text.startsWith(u' '))
        text.remove(0, 1);
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t control = data[0];
    const bool trim = (control & 1) != 0;
    const int32_t n = (control >> 2) - 2;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1),
                           static_cast<qsizetype>(size - 1));
    const QString line =
        (control & 2) != 0
            ? QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2)
            : QString::fromUtf8(bytes);

    const int32_t count = CountArguments(line);
    Check(count >= 1);
    if (!line.contains(u'"'))
        Check(count == 1 + line.count(u','));

    const QString argument = GetArgument(n, line, false);
    Check(GetArgument(n, line, true) == Trimmed(argument));
    Check(n >= 1 || argument.isEmpty());

    // The one-pass reader and GetArgument agree on every argument, and nothing follows them.
    ArgumentReader reader(line);
    QStringView view;
    int32_t k = 0;
    while (reader.Next(view)) {
        ++k;
        Check(line.contains(view));
        if (k <= 64)
            Check(view == GetArgument(k, line, false));
    }
    if (k < 64)
        Check(GetArgument(k + 1, line, false).isEmpty());

    const QString value = ArgumentValue(argument, trim);
    Check(!trim || !HasOuterBlank(value));
    const QByteArray key = ArgumentKey(bytes);
    Check(!HasOuterBlank(QString::fromLatin1(key)) && bytes.contains(key));

    const qsizetype half = line.size() / 2;
    const QString pattern = line.left(std::min<qsizetype>(half, 4));
    const int32_t position = PosFrom(pattern, line, n);
    if (position != 0) {
        Check(position >= std::max(n, 1));
        Check(line.mid(position - 1, pattern.size()) == pattern);
    }
    Check(StartsWith(line, line) == !line.isEmpty());
    return 0;
}
