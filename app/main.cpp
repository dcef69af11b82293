#include "app/commandline.h"
#include "app/displayconnection.h"
#include "app/gswapplication.h"
#include "app/gswglobals.h"
#include "app/heldkeys.h"
#include "app/monitorsize.h"
#include "app/terminationsignals.h"
#include "settings/settingsfileerror.h"
#include "ui/aboutunit.h"
#include "ui/gswmainunit.h"
#include "ui/imagewidget.h"
#include "ui/pictures.h"
#include "wash/idletime.h"
#include "wash/idlewasher.h"
#include "wash/lockwatch.h"
#include "wash/screensaverinhibitor.h"
#include "wash/washlock.h"
#include "wash/washsession.h"

#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

void Print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

int BadArguments(const QString &message)
{
    Print(stderr, QStringLiteral("glowsweep-wizard: %1\n").arg(message));
    return ExitBadArguments;
}

/// The idle washer: no window until the desktop is idle; it ends by a signal, at logout, or
/// when the display goes, and writes nothing.
int RunIdleWasher(const TCommandLine &commandLine)
{
    std::unique_ptr<IdleSource> idle = PlatformIdleSource(*commandLine.whenIdle);
    if (!idle)
        return BadArguments(QStringLiteral("this desktop does not tell how long it has been "
                                           "idle, so --when-idle cannot be used."));
    QApplication::setQuitOnLastWindowClosed(false);
    SetProgramFolders(TGswFolders::System());
    auto locks = std::make_unique<TLockWatch>();
    WatchPlatformLocks(*locks);
    const int target = *commandLine.wash == TCommandLine::AllMonitors ? TWashSession::AllMonitors
                                                                      : *commandLine.wash;
    auto washLock = std::make_shared<TWashLock>();
    auto washer = std::make_unique<TIdleWasher>(
        std::move(idle), std::move(locks), target, *commandLine.whenIdle, commandLine.duration,
        ConfigFolder, [washLock] { return washLock->OthersHold(); });
    washer->Session()->SetWashLock(std::make_unique<TWashLock>());
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, washer.get(),
                     [] { QApplication::exit(0); });
    ArmDisplayLoss([] {
        Print(stderr, QStringLiteral("glowsweep-wizard: the display connection was lost\n"));
    });
    const int result = QApplication::exec();
    DisarmDisplayLoss();
    washer.reset();
    termination.EndAsReceived();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    // The arguments are read before the application object chooses a platform, so that --help,
    // --version and bad arguments need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const TCommandLine commandLine = ParseCommandLine(arguments);
    switch (commandLine.action) {
    case TCommandLine::Action::Help:
    case TCommandLine::Action::Version:
        Print(stdout, commandLine.text);
        return 0;
    case TCommandLine::Action::Fail:
        return BadArguments(commandLine.text);
    case TCommandLine::Action::Run:
    case TCommandLine::Action::ListMonitors:
        break;
    }

    std::optional<NoDisplayGuard> noDisplay(std::in_place);
    TGswApplication application(argc, argv);
    noDisplay.reset();
    // A monitor that is not there is refused before any window shows or any setting is read.
    if (const QString problem = CheckWashMonitor(commandLine, QGuiApplication::screens().size());
        !problem.isEmpty())
        return BadArguments(problem);
    if (commandLine.action == TCommandLine::Action::ListMonitors) {
        const QList<QScreen *> screens = QGuiApplication::screens();
        const QList<TMonitorSize> sizes = MonitorPixelSizes(screens);
        QList<std::pair<TMonitorSize, QPoint>> monitors;
        // Qt keeps a monitor's top-left corner in the desktop's own units at any scale.
        for (qsizetype i = 0; i < screens.size(); ++i)
            monitors.append({sizes[i], screens[i]->geometry().topLeft()});
        Print(stdout, ListMonitors(monitors));
        return 0;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kestrion.GlowsweepWizard"));
    if (commandLine.whenIdle)
        return RunIdleWasher(commandLine);
    QApplication::setWindowIcon(ProgramIcon());

    // The main window comes first, so it is the program's main window; the about box needs
    // its picture and the hand cursor that its creation installs.
    auto mainForm = std::make_unique<TGswMainForm>();
    AboutForm = new TAboutForm(mainForm.get(), mainForm->MonitorImageSrcWide->Picture());
    mainForm->Session->WashDuration = commandLine.duration;
    mainForm->Session->SetWashLock(std::make_unique<TWashLock>());
    // Installed after the main window's own filter, so it sees every key first.
    THeldKeysFilter heldKeys;
    application.installEventFilter(&heldKeys);

    // Logout, kill and Ctrl+C end the program as a close does, with the settings saved.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, mainForm.get(),
                     [&mainForm] {
                         mainForm->FormEndSession();
                         QApplication::exit(0);
                     });

    mainForm->show();
    if (commandLine.wash) {
        TGswMainForm *form = mainForm.get();
        // Nobody may be there to see the screen blank: said once per run.
        QObject::connect(
            form->Session, &TWashSession::cannotKeepAwake, form,
            [](const QString &what) {
                Print(stderr, QStringLiteral("glowsweep-wizard: %1 could not be held back; the "
                                             "screen may blank during the wash\n")
                                  .arg(what));
            },
            Qt::SingleShotConnection);
        QTimer::singleShot(
            0, form, [form, monitor = *commandLine.wash] { form->StartUnattendedWash(monitor); });
    }
    // The display went away: nothing may be drawn or closed any more, but the settings are
    // still saved and the screen saver told that the screen may sleep again.
    ArmDisplayLoss([form = mainForm.get()] {
        Print(stderr, QStringLiteral("glowsweep-wizard: the display connection was lost\n"));
        for (ScreenSaverInhibitor *inhibitor : form->findChildren<ScreenSaverInhibitor *>())
            inhibitor->ReleaseNow();
        try {
            form->SaveSettings();
        } catch (const SettingsFileError &e) {
            Print(stderr, QStringLiteral("glowsweep-wizard: %1\n").arg(e.message()));
        }
    });
    const int result = QApplication::exec();
    DisarmDisplayLoss();
    mainForm.reset(); // FormDestroy; the about box goes with its owner
    AboutForm = nullptr;
    termination.EndAsReceived();
    return result;
}
