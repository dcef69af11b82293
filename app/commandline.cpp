#include "app/commandline.h"

#include "app/version.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <cmath>

namespace {

const QString Usage = QStringLiteral("Usage: glowsweep-wizard [--wash all|N] [--duration D] "
                                     "[--when-idle D] [--list-monitors] [-h|--help] [--version]");
const QString ExitStatusText = QStringLiteral(
    "\nExit status: 0 on success; 1 when a timed close could not save the settings, or\n"
    "there is no display; 2 for arguments that cannot be used, and for --when-idle on a\n"
    "desktop that does not tell its idle time; 3 when the display went away.\n");

/// QCommandLineParser's help with the synopsis in place of its generic first line, which names
/// the program by however it was started.
QString HelpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, lineEnd < 0 ? text.size() : lineEnd, Usage);
    return text + ExitStatusText;
}

/// A duration in the form ParseDuration takes, in milliseconds before rounding; empty when the
/// text is malformed.
std::optional<double> UnroundedDuration(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^([0-9]+(?:\\.[0-9]+)?|\\.[0-9]+)([smh]?)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double number = match.captured(1).toDouble(&ok); // always with a decimal point
    const QString unit = match.captured(2);
    const double perUnit = unit == QLatin1String("s")   ? 1000.0
                           : unit == QLatin1String("h") ? 3'600'000.0
                                                        : 60'000.0;
    if (!ok)
        return std::nullopt;
    return number * perUnit;
}

} // namespace

std::optional<int64_t> ParseDuration(const QString &text)
{
    const std::optional<double> unrounded = UnroundedDuration(text);
    if (!unrounded)
        return std::nullopt;
    const double milliseconds = std::round(*unrounded);
    // 2^63 is exact in a double, and every double below it fits in int64_t.
    if (!(milliseconds >= 1.0) || !(milliseconds < 9223372036854775808.0))
        return std::nullopt;
    return static_cast<int64_t>(milliseconds);
}

TCommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-help" and "-wash 2" are read as the long options people mean.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Washes monitors with moving white bars to clear image retention."));
    const QCommandLineOption wash(
        QStringLiteral("wash"),
        QStringLiteral("Start washing at once, without asking: every monitor (all) or monitor N, "
                       "numbered as in the window's list, each with its stored settings."),
        QStringLiteral("all|N"));
    const QCommandLineOption duration(
        QStringLiteral("duration"),
        QStringLiteral("End every wash after D: a number with the unit s, m or h, such as 90s, "
                       "30m or 1.5h; a bare number means minutes. With --wash, the program "
                       "closes when the time is up; with --when-idle, it waits again."),
        QStringLiteral("D"));
    const QCommandLineOption whenIdle(
        QStringLiteral("when-idle"),
        QStringLiteral("With --wash: show no window, and wash each time the desktop has had no "
                       "input for D (at least 1s), with the settings as last saved, until a key, "
                       "a click, a mouse move or the screen lock ends the wash. Never keeps the "
                       "screen from locking, never washes over another instance's wash, and "
                       "writes nothing. Waits on the desktop's word, at no cost meanwhile."),
        QStringLiteral("D"));
    const QCommandLineOption listMonitors(
        QStringLiteral("list-monitors"),
        QStringLiteral("Print each monitor's number, size in pixels and position, then exit."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help, then exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the program's version, then exit."));
    parser.addOptions({wash, duration, whenIdle, listMonitors, help, version});

    TCommandLine result;
    const auto fail = [&result](const QString &message) {
        result.action = TCommandLine::Action::Fail;
        result.text = message;
        return result;
    };
    if (arguments.isEmpty())
        return result;
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument '%1'.")
                        .arg(parser.positionalArguments().constFirst()));
    for (const QCommandLineOption *once : {&wash, &duration, &whenIdle})
        if (parser.values(*once).size() > 1)
            return fail(QStringLiteral("The option --%1 is given more than once.")
                            .arg(once->names().constFirst()));

    if (parser.isSet(help)) {
        result.action = TCommandLine::Action::Help;
        result.text = HelpText(parser);
        return result;
    }
    if (parser.isSet(version)) {
        result.action = TCommandLine::Action::Version;
        result.text = QStringLiteral("Glowsweep Wizard %1\n")
                          .arg(QString::fromLatin1(FormatVersion(ProgramVersion)));
        return result;
    }

    if (parser.isSet(wash)) {
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        const QString value = parser.value(wash);
        if (value.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
            result.wash = TCommandLine::AllMonitors;
        } else if (!digits.match(value).hasMatch()) {
            return fail(QStringLiteral("Invalid value '%1' for --wash: give all or a monitor "
                                       "number.")
                            .arg(value));
        } else {
            bool fits = false;
            const int number = value.toInt(&fits);
            if (!fits)
                return fail(QStringLiteral("There is no monitor %1.").arg(value));
            if (number == 0)
                return fail(QStringLiteral("Invalid value '%1' for --wash: monitors are "
                                           "numbered from 1.")
                                .arg(value));
            result.wash = number - 1;
        }
    }
    if (parser.isSet(duration)) {
        const QString value = parser.value(duration);
        result.duration = ParseDuration(value);
        if (!result.duration)
            return fail(QStringLiteral("Invalid duration '%1': give a positive number with the "
                                       "unit s, m or h, such as 90s, 30m or 1.5h.")
                            .arg(value));
    }
    if (parser.isSet(whenIdle)) {
        const QString value = parser.value(whenIdle);
        result.whenIdle = ParseDuration(value);
        // Before rounding: 0.9999s is less than the second that --help asks for.
        if (!result.whenIdle || *UnroundedDuration(value) < 1000.0)
            return fail(QStringLiteral("Invalid idle time '%1' for --when-idle: give at least "
                                       "1s, such as 90s, 5m or 1h.")
                            .arg(value));
        if (!result.wash)
            return fail(QStringLiteral("--when-idle needs --wash: give the monitors to wash."));
    }
    if (parser.isSet(listMonitors))
        result.action = TCommandLine::Action::ListMonitors;
    return result;
}

QString CheckWashMonitor(const TCommandLine &commandLine, qsizetype monitorCount)
{
    if ((commandLine.action != TCommandLine::Action::Run &&
         commandLine.action != TCommandLine::Action::ListMonitors) ||
        !commandLine.wash)
        return {};
    const int index = *commandLine.wash;
    if (index == TCommandLine::AllMonitors)
        return monitorCount > 0 ? QString() : QStringLiteral("There is no monitor to wash.");
    if (index < monitorCount)
        return {};
    return QStringLiteral("There is no monitor %1: this desktop has %2 monitor%3.")
        .arg(index + 1)
        .arg(monitorCount)
        .arg(monitorCount == 1 ? QString() : QStringLiteral("s"));
}

QString MonitorSizeText(const TMonitorSize &size)
{
    return QStringLiteral("%1x%2%3")
        .arg(size.size.width())
        .arg(size.size.height())
        .arg(size.logical ? QStringLiteral(" (logical)") : QString());
}

TMonitorSize MatchOutputSize(const QString &name, const QRect &geometry,
                             const QList<TOutputMode> &outputs)
{
    const auto only = [&outputs](auto matches) -> const TOutputMode * {
        const TOutputMode *found = nullptr;
        for (const TOutputMode &output : outputs) {
            if (!matches(output))
                continue;
            if (found)
                return nullptr;
            found = &output;
        }
        return found;
    };
    const TOutputMode *output =
        name.isEmpty() ? nullptr : only([&name](const TOutputMode &o) { return o.name == name; });
    if (!output) {
        output =
            only([&geometry](const TOutputMode &o) { return o.position == geometry.topLeft(); });
    }
    if (!output || output->size.isEmpty())
        return {geometry.size(), true};
    return {output->size, false};
}

QString ListMonitors(const QList<std::pair<TMonitorSize, QPoint>> &monitors)
{
    QString text;
    for (qsizetype i = 0; i < monitors.size(); ++i) {
        const auto &[size, at] = monitors[i];
        text += QStringLiteral("%1: %2 at %3,%4\n")
                    .arg(i + 1)
                    .arg(MonitorSizeText(size))
                    .arg(at.x())
                    .arg(at.y());
    }
    return text;
}
