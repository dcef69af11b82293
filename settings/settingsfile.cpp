#include "settings/settingsfile.h"

#include "app/version.h"
#include "settings/general_wstxt.h"
#include "settings/settingsio.h"

#include <QDir>
#include <QFile>
#include <QStringView>
#include <QtEndian>
#include <cerrno>
#include <functional>

namespace {

constexpr char16_t LineSeparator = u'\u2028';

QString LowerAsciiLetters(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            c = QChar(static_cast<char16_t>(u + (u'a' - u'A')));
    }
    return text;
}

QString DecodeUtf16(const QByteArray &bytes, bool bigEndian)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData()) + 2;
    const qsizetype units = (bytes.size() - 2) / 2;
    QString text(units, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < units; ++i) {
        const uchar *unit = data + 2 * i;
        out[i] =
            QChar(bigEndian ? qFromBigEndian<char16_t>(unit) : qFromLittleEndian<char16_t>(unit));
    }
    return text;
}

QString DecodeBytes(const QByteArray &bytes)
{
    const auto startsWithBytes = [&bytes](std::initializer_list<uchar> mark) {
        if (bytes.size() < static_cast<qsizetype>(mark.size()))
            return false;
        qsizetype i = 0;
        for (const uchar b : mark) {
            if (static_cast<uchar>(bytes[i++]) != b)
                return false;
        }
        return true;
    };
    if (startsWithBytes({0xFF, 0xFE}))
        return DecodeUtf16(bytes, false);
    if (startsWithBytes({0xFE, 0xFF}))
        return DecodeUtf16(bytes, true);
    if (startsWithBytes({0xEF, 0xBB, 0xBF}))
        return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
    // The system's 8-bit encoding (on Unix the locale's, which Qt takes as UTF-8).
    return QString::fromLocal8Bit(bytes);
}

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    const qsizetype end = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char16_t c = text[i].unicode();
        if (c != u'\r' && c != u'\n' && c != LineSeparator) {
            ++i;
            continue;
        }
        lines.append(text.sliced(start, i - start).toString());
        if (i < end && text[i] == u'\r')
            ++i;
        if (i < end && text[i] == u'\n')
            ++i;
        if (i < end && text[i] == LineSeparator)
            ++i;
        start = i;
    }
    if (start < end)
        lines.append(text.sliced(start).toString());
    return lines;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Calls `use` with the key and the trimmed value of each keyed argument of a lower-cased line,
// for arguments 1 to CountArguments(line) as GetArgument gives them.
void ForEachSetting(const QString &line,
                    const std::function<void(const QByteArray &, const QString &)> &use)
{
    const int32_t count = CountArguments(line);
    ArgumentReader reader(line);
    QStringView view;
    for (int32_t i = 1; i <= count && reader.Next(view); ++i) {
        const QString argument = view.toString();
        // Keys are compared in their 8-bit form; the line is lower-cased already.
        const QByteArray key = ArgumentKey(argument.toLocal8Bit());
        if (!key.isEmpty())
            use(key, ArgumentValue(argument, true));
    }
}

int32_t ConvertedOr(const QString &value, int32_t fallback)
{
    int32_t number = 0;
    return ConvertSettingsInteger(value, number) ? number : fallback;
}

int32_t IndexInTable(int32_t index)
{
    return index >= 0 && index <= 4 ? index : 2;
}

} // namespace

QStringList DecodeSettingsText(const QByteArray &bytes)
{
    QString text = DecodeBytes(bytes);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return SplitLines(text);
}

bool ConvertSettingsInteger(const QString &value, int32_t &out)
{
    QStringView s = value;
    bool negative = false;
    if (s.startsWith(u'+') || s.startsWith(u'-')) {
        negative = s.front() == u'-';
        s = s.sliced(1);
    }
    bool hex = true;
    if (s.startsWith(u'$') || s.startsWith(u'x') || s.startsWith(u'X'))
        s = s.sliced(1);
    else if (s.startsWith(u"0x") || s.startsWith(u"0X"))
        s = s.sliced(2);
    else
        hex = false;
    if (s.isEmpty())
        return false;

    const uint64_t limit = hex ? 0xFFFF'FFFFu : (negative ? 0x8000'0000u : 0x7FFF'FFFFu);
    const uint64_t base = hex ? 16 : 10;
    uint64_t magnitude = 0;
    for (const QChar c : s) {
        const int digit = HexDigit(c.unicode());
        if (digit < 0 || static_cast<uint64_t>(digit) >= base)
            return false;
        magnitude = magnitude * base + static_cast<uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    uint32_t pattern = static_cast<uint32_t>(magnitude);
    if (negative)
        pattern = 0u - pattern;
    out = static_cast<int32_t>(pattern);
    return true;
}

std::optional<int32_t> ApplySettingsLines(const QStringList &lines, QList<MonitorSettings> &records)
{
    static const QString configName = QStringLiteral("config");
    static const QString addMonitorName = QStringLiteral("addmonitor");

    std::optional<int32_t> activate;
    qsizetype addMonitorLines = 0;
    for (const QString &original : lines) {
        if (!IsDataLine(original.toLocal8Bit()))
            continue;
        const QString line = LowerAsciiLetters(original);
        if (StartsWith(line, configName)) {
            ForEachSetting(line, [&activate](const QByteArray &key, const QString &value) {
                if (key == "activate")
                    activate = ConvertedOr(value, 0);
            });
        } else if (StartsWith(line, addMonitorName)) {
            MonitorSettings loaded;
            loaded.ScanRate = 2;
            loaded.BarSize = 2;
            loaded.HBars = 0;
            loaded.VBars = 1;
            ForEachSetting(line, [&loaded](const QByteArray &key, const QString &value) {
                if (key == "scanrate")
                    loaded.ScanRate = ConvertedOr(value, 2);
                else if (key == "barsize")
                    loaded.BarSize = ConvertedOr(value, 2);
                else if (key == "hbars")
                    loaded.HBars = ConvertedOr(value, 0);
                else if (key == "vbars")
                    loaded.VBars = ConvertedOr(value, 1);
            });
            if (addMonitorLines < records.size()) {
                MonitorSettings &record = records[addMonitorLines];
                record.ScanRate = IndexInTable(loaded.ScanRate);
                record.BarSize = IndexInTable(loaded.BarSize);
                record.VBars = loaded.VBars;
                record.HBars = loaded.HBars;
            }
            ++addMonitorLines;
        }
    }
    return activate;
}

int32_t ActivateChoice(int32_t loaded)
{
    return loaded == 0 || loaded == 1 ? loaded : -1;
}

QByteArray EncodeSettingsFile(const QList<MonitorSettings> &records, int32_t activateIndex)
{
    QStringList lines = {
        QStringLiteral("//"),
        QStringLiteral("// Glowsweep Wizard v%1.")
            .arg(QLatin1String(FormatVersion(ProgramVersion))),
        QStringLiteral("// (C) Kestrion. The program rewrites this file whenever it closes."),
        QStringLiteral("//"),
        QStringLiteral("Config(Activate=%1)").arg(activateIndex),
    };
    for (const MonitorSettings &r : records) {
        lines.append(QStringLiteral("AddMonitor(ScanRate=%1,BarSize=%2,HBars=%3,VBars=%4)")
                         .arg(r.ScanRate)
                         .arg(r.BarSize)
                         .arg(r.HBars)
                         .arg(r.VBars));
    }

    QByteArray bytes;
    bytes.append("\xFF\xFE", 2);
    const auto appendUnit = [&bytes](char16_t unit) {
        char le[2];
        qToLittleEndian(unit, le);
        bytes.append(le, 2);
    };
    for (const QString &line : lines) {
        for (const QChar c : line)
            appendUnit(c.unicode());
        appendUnit(u'\r');
        appendUnit(u'\n');
    }
    return bytes;
}

namespace {

bool IsAbsoluteFolder(const QByteArray &folder)
{
    return QDir::isAbsolutePath(QFile::decodeName(folder));
}

} // namespace

std::optional<int32_t> LoadSettingsFile(const QByteArray &configFolder,
                                        QList<MonitorSettings> &records)
{
    if (!IsAbsoluteFolder(configFolder))
        return std::nullopt;
    const std::optional<QByteArray> bytes =
        ReadRegularFile(configFolder + SettingsFileName, MaxSettingsFileSize);
    if (!bytes)
        return std::nullopt;
    return ApplySettingsLines(DecodeSettingsText(*bytes), records);
}

void SaveSettingsFile(const QByteArray &configFolder, const QList<MonitorSettings> &records,
                      int32_t activateIndex)
{
    const QByteArray path = configFolder + SettingsFileName;
    if (!IsAbsoluteFolder(configFolder))
        throw SettingsFileError(
            CannotCreateFileText(QFile::decodeName(path), ENOENT, qt_error_string(ENOENT)));
    // A folder that cannot be made shows up as the file that cannot be created.
    CreateSharedFolder(configFolder);
    ReplaceFileAtomically(path, EncodeSettingsFile(records, activateIndex));
}
