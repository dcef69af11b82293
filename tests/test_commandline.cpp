#include "app/commandline.h"

#include <gtest/gtest.h>

TEST(ParseDuration, UnitsAndBareMinutes)
{
    const struct {
        const char *text;
        int64_t milliseconds;
    } rows[] = {{"90s", 90'000}, {"30m", 1'800'000}, {"1.5h", 5'400'000}, {"30", 1'800'000},
                {"0.5", 30'000}, {".5s", 500},       {"007s", 7000},      {"0.1s", 100},
                {"0.0015s", 2},  {"0.001s", 1}};
    for (const auto &row : rows)
        EXPECT_EQ(ParseDuration(QString::fromLatin1(row.text)), row.milliseconds) << row.text;
    EXPECT_GT(ParseDuration(QStringLiteral("2562047788015h")).value_or(0),
              9'223'372'000'000'000'000);
}

TEST(ParseDuration, RefusesMalformedZeroNegativeAndOverflowing)
{
    for (const char *text :
         {"",    "0",   "0s",  "0.0h", "0.0004s",       "-5m", "+5m",   "5 m",  " 5m",
          "5m ", "5ms", "5d",  "5S",   "1e3s",          "1.",  "1..5h", "1,5h", "h",
          "s5",  "nan", "inf", "5mm",  "2562047788016h"})
        EXPECT_FALSE(ParseDuration(QString::fromLatin1(text))) << text;
}

TEST(ParseCommandLine, ActionsValuesAndOneLineErrors)
{
    using A = TCommandLine::Action;
    const struct {
        QStringList args;
        A action;
        std::optional<int> wash;
        std::optional<int64_t> duration;
        const char *inText; // a part of the message or printed text
    } rows[] = {
        {{}, A::Run, {}, {}, ""},
        {{"--duration", "5"}, A::Run, {}, 300'000, ""},
        {{"--wash", "all", "--duration", "1.5h"}, A::Run, TCommandLine::AllMonitors, 5'400'000, ""},
        {{"--wash=2", "--duration=90"}, A::Run, 1, 5'400'000, ""},
        {{"-wash", "ALL"}, A::Run, TCommandLine::AllMonitors, {}, ""},
        {{"-h", "--wash", "2"},
         A::Help,
         {},
         {},
         "Usage: glowsweep-wizard [--wash all|N] [--duration D]"},
        {{"--version"}, A::Version, {}, {}, "Glowsweep Wizard 1.00\n"},
        {{"--list-monitors"}, A::ListMonitors, {}, {}, ""},
        {{"--bogus"}, A::Fail, {}, {}, "'bogus'"},
        {{"--wash"}, A::Fail, {}, {}, "--wash"},
        {{"--wash", "0"}, A::Fail, {}, {}, "'0'"},
        {{"--wash", "two"}, A::Fail, {}, {}, "'two'"},
        {{"--wash", "99999999999"}, A::Fail, {}, {}, "no monitor 99999999999"},
        {{"--wash", "1", "--wash", "2"}, A::Fail, {}, {}, "--wash is given more than once"},
        {{"--duration", "-5m", "--help"}, A::Help, {}, {}, "Exit status"},
        {{"--duration", "-5m"}, A::Fail, {}, {}, "'-5m'"},
        {{"stray"}, A::Fail, {}, {}, "'stray'"},
        {{"--wash", "1", "--when-idle", "5s", "--duration", "20s"}, A::Run, 0, 20'000, ""},
        {{"--when-idle", "5m"}, A::Fail, {}, {}, "--when-idle needs --wash"},
        {{"--wash", "all", "--when-idle", "0.9s"},
         A::Fail,
         TCommandLine::AllMonitors,
         {},
         "'0.9s'"},
        {{"--wash", "all", "--when-idle", "soon"},
         A::Fail,
         TCommandLine::AllMonitors,
         {},
         "'soon'"},
        {{"--wash", "all", "--when-idle", "1", "--when-idle", "2"},
         A::Fail,
         {},
         {},
         "--when-idle is given more than once"},
    };
    for (const auto &row : rows) {
        const QStringList arguments = QStringList{QStringLiteral("glowsweep-wizard")} + row.args;
        const TCommandLine c = ParseCommandLine(arguments);
        const QString what = arguments.join(u' ');
        EXPECT_EQ(c.action, row.action) << what.toStdString() << ": " << c.text.toStdString();
        EXPECT_EQ(c.wash, row.wash) << what.toStdString();
        EXPECT_EQ(c.duration, row.duration) << what.toStdString();
        EXPECT_TRUE(c.text.contains(QString::fromLatin1(row.inText))) << c.text.toStdString();
        if (row.action == A::Fail) {
            EXPECT_FALSE(c.text.contains(u'\n')) << c.text.toStdString();
        }
    }
    EXPECT_EQ(ParseCommandLine({}).action, A::Run); // started with no program name at all
    EXPECT_EQ(ParseCommandLine({"gsw", "--wash", "all", "--when-idle", "1s"}).whenIdle, 1000);
    EXPECT_EQ(ParseCommandLine({"gsw", "--wash", "all", "--when-idle", "0.01667m"}).whenIdle, 1000);
    for (const char *belowASecond : {"0.9999s", "0.0166m"}) // before rounding to 1000 ms
        EXPECT_EQ(ParseCommandLine({"gsw", "--wash", "all", "--when-idle", belowASecond}).action,
                  A::Fail);
    EXPECT_EQ(ParseCommandLine({"gsw", "--wash", "all"}).whenIdle, std::nullopt);
}

TEST(CheckWashMonitor, OnlyMonitorsTheDesktopHas)
{
    const auto check = [](const char *wash, qsizetype monitors) {
        return CheckWashMonitor(ParseCommandLine({"glowsweep-wizard", "--wash", wash}), monitors);
    };
    EXPECT_EQ(check("2", 2) + check("all", 1), QString());
    EXPECT_EQ(check("2", 1), QStringLiteral("There is no monitor 2: this desktop has 1 monitor."));
    EXPECT_FALSE(check("all", 0).isEmpty());
    // Whatever else is asked for.
    EXPECT_EQ(CheckWashMonitor(
                  ParseCommandLine({"glowsweep-wizard", "--wash", "3", "--list-monitors"}), 2),
              QStringLiteral("There is no monitor 3: this desktop has 2 monitors."));
}

TEST(MatchOutputSize, OutputModeByNameThenCornerElseLogical)
{
    // A 1200x900 output at scale 1.5 is 800x600 on the desktop, at 1280,0.
    const QRect desktop(1280, 0, 800, 600);
    const TOutputMode named{QStringLiteral("X11-2"), {1280, 0}, {1200, 900}};
    const TOutputMode other{QStringLiteral("X11-1"), {0, 0}, {1280, 720}};
    const TOutputMode nameless{{}, {1280, 0}, {1200, 900}};
    const TOutputMode noMode{QStringLiteral("X11-2"), {1280, 0}, {}};
    const TMonitorSize physical{{1200, 900}, false};
    const TMonitorSize logical{{800, 600}, true};
    const struct {
        const char *edge;
        const char *name;
        QList<TOutputMode> outputs;
        TMonitorSize expected;
    } rows[] = {
        {"by name", "X11-2", {other, named}, physical},
        {"by name, though another output shares the corner",
         "X11-2",
         {named, {{}, {1280, 0}, {640, 480}}},
         physical},
        {"nameless output at the corner", "X11-2", {other, nameless}, physical},
        {"screen without a name", "", {other, nameless}, physical},
        {"unknown name, nothing at the corner", "DP-3", {other}, logical},
        {"two outputs at the corner", "DP-3", {nameless, nameless}, logical},
        {"output without a current mode", "X11-2", {noMode}, logical},
        {"no outputs at all", "X11-2", {}, logical},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(MatchOutputSize(QString::fromLatin1(row.name), desktop, row.outputs),
                  row.expected)
            << row.edge;
    }
}

TEST(ListMonitors, NumberedFromOneWithLogicalSizesMarked)
{
    EXPECT_EQ(ListMonitors({{{{1920, 1080}, false}, {0, 0}}, {{{800, 600}, true}, {1920, -56}}}),
              QStringLiteral("1: 1920x1080 at 0,0\n2: 800x600 (logical) at 1920,-56\n"));
    EXPECT_EQ(ListMonitors({}), QString());
}
