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
#include "wash/idlewatch.h"
#include "wash/lockwatch.h"
#include "wash/screensaverinhibitor.h"
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
    std::unique_ptr<IdleTimeSource> idleTime;
    if (commandLine.whenIdle) {
        idleTime = PlatformIdleTime(*commandLine.whenIdle);
        if (!idleTime)
            return BadArguments(QStringLiteral("this desktop does not tell how long it has been "
                                               "idle, so --when-idle cannot be used."));
    }

    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.kestrion.GlowsweepWizard"));
    QApplication::setWindowIcon(ProgramIcon());

    // The main window comes first, so it is the program's main window; the about box needs
    // its picture and the hand cursor that its creation installs.
    auto mainForm = std::make_unique<TGswMainForm>();
    AboutForm = new TAboutForm(mainForm.get(), mainForm->MonitorImageSrcWide->Picture());
    mainForm->Session->WashDuration = commandLine.duration;
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

    if (commandLine.whenIdle) {
        // No window until the desktop is idle; the program ends by a signal or at logout.
        QApplication::setQuitOnLastWindowClosed(false);
        TWashSession *session = mainForm->Session;
        session->KeepAwake = false; // the screen saver and the lock come first
        auto *watch = new TIdleWatch(std::move(idleTime), *commandLine.whenIdle, SteadyClock(),
                                     mainForm.get());
        auto *lock = new TLockWatch(mainForm.get());
        QObject::connect(lock, &TLockWatch::lockedChanged, watch, &TIdleWatch::SetLocked);
        QObject::connect(
            watch, &TIdleWatch::washDue, session, [session, monitor = *commandLine.wash] {
                if (!WashActive)
                    session->BeginWash(
                        monitor == TCommandLine::AllMonitors ? TWashSession::AllMonitors : monitor);
            });
        QObject::connect(watch, &TIdleWatch::washOver, session, [session] {
            if (WashActive)
                session->EndWash();
        });
        QObject::connect(session, &TWashSession::washEnds, watch, &TIdleWatch::WashEnded);
        watch->Start();
    } else {
        mainForm->show();
    }
    if (commandLine.wash && !commandLine.whenIdle) {
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
