#pragma once

// The program's command line: what it asks for and whether it is well-formed. No application
// object is needed, so --help and --version work where there is no display at all.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>

/// Exit statuses besides 0: arguments that cannot be used, a timed close whose settings could
/// not be saved, no display to start on, and a display connection that broke while the program
/// ran (the settings saved as far as they could be).
inline constexpr int ExitBadArguments = 2;
inline constexpr int ExitSaveFailed = 1;
inline constexpr int ExitNoDisplay = 1;
inline constexpr int ExitDisplayLost = 3;

/// A duration as given to --duration, in milliseconds: a positive decimal number ("90",
/// "1.5", ".5") followed by the unit "s", "m" or "h"; without a unit it counts minutes. No
/// sign, exponent, spaces or other units. Empty when the text is malformed, when the duration
/// is not at least a millisecond, or when it does not fit in 64 bits of milliseconds.
std::optional<int64_t> ParseDuration(const QString &text);

/// What the command line asks for.
struct TCommandLine {
    enum class Action {
        Run,          ///< open the main window, perhaps washing at once
        Help,         ///< print `text` on standard output and exit with 0
        Version,      ///< likewise
        ListMonitors, ///< print the monitors and exit with 0 (needs the display)
        Fail,         ///< print `text` on standard error and exit with ExitBadArguments
    };
    static constexpr int AllMonitors = -1;

    Action action = Action::Run;
    QString text;
    /// --wash: the index of the one monitor to wash (its number - 1), or AllMonitors.
    std::optional<int> wash;
    /// --duration in milliseconds: every wash of this run ends after it.
    std::optional<int64_t> duration;
    /// --when-idle in milliseconds: wash whenever the session has had no input for so long,
    /// instead of at once (needs --wash).
    std::optional<int64_t> whenIdle;
};

/// Parses the program's arguments, the program's name first. Malformed arguments give Fail
/// with a one-line message; --help and --version win over well-formed options.
TCommandLine ParseCommandLine(const QStringList &arguments);

/// The one-line message for a --wash monitor that a desktop with `monitorCount` monitors does
/// not have, whatever else the command line asks for; empty when it can be carried out there.
QString CheckWashMonitor(const TCommandLine &commandLine, qsizetype monitorCount);

/// A monitor's size as the program states it: in the monitor's own pixels where the platform
/// tells them, else in the desktop's logical units, and then marked as such.
struct TMonitorSize {
    QSize size;
    bool logical = false;
    bool operator==(const TMonitorSize &) const = default;
};

/// "1200x900", or "800x600 (logical)".
QString MonitorSizeText(const TMonitorSize &size);

/// An output as a Wayland compositor describes it: its name (empty where the compositor gives
/// none), its top-left corner on the desktop and the size of its current mode, turned as the
/// output is turned.
struct TOutputMode {
    QString name;
    QPoint position;
    QSize size;
};

/// The size of the monitor called `name` whose logical rectangle is `geometry`: the mode of the
/// output of that name, else of the one output at the rectangle's corner; where no output or
/// more than one matches, the logical size, marked.
TMonitorSize MatchOutputSize(const QString &name, const QRect &geometry,
                             const QList<TOutputMode> &outputs);

/// The --list-monitors text: one line per monitor, numbered from 1 in the given order as the
/// main window's list numbers them, with its size and its top-left corner on the desktop:
/// "1: 1920x1080 at 0,0".
QString ListMonitors(const QList<std::pair<TMonitorSize, QPoint>> &monitors);
