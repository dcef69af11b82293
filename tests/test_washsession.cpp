// Starting, running and stopping a wash from the main window, on three simulated monitors:
// 1920x1080 at 0,0; 1280x1024 at 1920,56; 1024x768 at 3200,0. Ticks are driven by calling
// the tick handler; nothing here waits for the timer.

#include "mainformfixture.h"
#include "onscreen.h"

#include "app/commandline.h"
#include "settings/settingsio.h"

#include "ui/imagewidget.h"
#include "ui/updown.h"
#include "wash/idletime.h"
#include "wash/idlewasher.h"
#include "wash/lockwatch.h"
#include "wash/renderbars.h"
#include "wash/screensaverinhibitor.h"
#include "wash/washlock.h"
#include "wash/washunit.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>

/// Keeps nothing awake; counts the requests and the releases of a held inhibition.
class CountingInhibitor : public ScreenSaverInhibitor {
public:
    void Inhibit(const QString &) override
    {
        ++taken;
        held = true;
    }
    void Release() override
    {
        released += held;
        held = false;
    }
    int taken = 0;
    int released = 0;
    bool held = false;
};

/// Says what a test tells it, as the desktop's idle notifications would.
class FakeIdleTime : public IdleSource {
public:
    void Say(bool idle) { SetIdle(idle); }
    /// Input that the source tells only when looked at, as Windows does.
    bool quietInput = false;
    void Look() override
    {
        if (std::exchange(quietInput, false))
            Say(false);
    }
};

class TestWashSession : public QObject {
    Q_OBJECT

    MainFormFixture fx;
    TGswMainForm *form = nullptr;
    CountingInhibitor *inhibitor = nullptr;
    int64_t now = 1'000'000; // the session's clock, in milliseconds

    /// Asks for a wash and answers the confirmation with `answer`.
    std::shared_ptr<SeenBox> Toggle(QMessageBox::StandardButton answer,
                                    std::function<void()> whileOpen = {})
    {
        auto box = AnswerNextBox(answer, std::move(whileOpen));
        QTest::mouseClick(form->ApplyButton, Qt::LeftButton);
        return box;
    }

    /// Counts the paint events `widget` receives while it lives.
    class PaintCounter : public QObject {
    public:
        PaintCounter(QWidget *widget, int &painted)
            : count(painted)
        {
            widget->installEventFilter(this);
        }

    protected:
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }

    private:
        int &count;
    };

    static QImage Expected(QSize size, const MonitorSettings &r, int64_t frame)
    {
        QImage img(size, QImage::Format_RGB32);
        RenderBars(img, r.HBars, r.VBars, r.ScanRate, r.BarSize, frame);
        return img;
    }

    /// Lets windows released by close() be destroyed.
    static void DeleteReleased()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int LiveWashWindows()
    {
        DeleteReleased();
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += qobject_cast<TWashForm *>(w) != nullptr;
        return n;
    }

    bool ScreenKeptAwake() const { return inhibitor->held; }

    void ExpectIdle()
    {
        QVERIFY(!ScreenKeptAwake()); // released on every way out of a wash
        QVERIFY(!WashActive);
        QVERIFY(WashWindowList->isEmpty());
        QCOMPARE(form->ApplyButton->text(), QStringLiteral("Activate Glowsweep"));
        QVERIFY(form->MonitorImage->isVisible());
        QCOMPARE(LiveWashWindows(), 0);
    }

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::screens().size(), 3); }

    void init()
    {
        form = &fx.Create();
        inhibitor = new CountingInhibitor;
        form->Session->SetInhibitor(inhibitor);
        form->Session->SetClock([this] { return now; });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        fx.Activate();
    }

    void cleanup()
    {
        fx.form.reset();
        form = nullptr;
        DeleteReleased();
        Monitors.clear();
    }

    void confirmationAsksAndCancelChangesNothing()
    {
        bool tickedWhileOpen = false;
        const auto box = Toggle(QMessageBox::Cancel, [&] {
            // The preview keeps moving behind the box.
            const QImage before = form->MonitorImage->Picture();
            tickedWhileOpen = form->WashTimer->isActive();
            form->WashTimerTimer();
            tickedWhileOpen = tickedWhileOpen && form->MonitorImage->Picture() != before;
            QVERIFY(!WashActive);
        });
        QVERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Information"));
        QCOMPARE(box->icon, QMessageBox::Information);
        QCOMPARE(box->text,
                 QStringLiteral("The Glowsweep process is about to start.\n\nTo stop the process "
                                "at any time, press ESC or click the \"Deactivate Glowsweep\" "
                                "button."));
        QCOMPARE(box->defaultButton, QMessageBox::Ok);
        QCOMPARE(box->escapeButton, QMessageBox::Cancel);
        QVERIFY(tickedWhileOpen);
        ExpectIdle();

        const auto closed = Toggle(QMessageBox::NoButton); // closed by its title bar
        QVERIFY(closed->seen);
        ExpectIdle();
    }

    void allMonitorsOpensOneWindowPerRecord()
    {
        form->ActivateCB->setCurrentIndex(1);
        (*MonitorSettingsList)[0] = {1, 3, 1, 2, 2};
        (*MonitorSettingsList)[1] = {2, 0, 4, 0, 4};
        (*MonitorSettingsList)[2] = {3, 7, 7, 4, 0};
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QVERIFY(WashActive);
        QVERIFY(ScreenKeptAwake());
        QCOMPARE(form->ApplyButton->text(), QStringLiteral("Deactivate Glowsweep"));
        QVERIFY(!form->MonitorImage->isVisible());
        QCOMPARE(WashWindowList->size(), 3);
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (int i = 0; i < 3; ++i) {
            TWashForm *w = (*WashWindowList)[i];
            QCOMPARE(w->Tag, i);
            QCOMPARE(w->geometry(), screens[i]->geometry());
            QVERIFY(w->isVisible());
        }
        const int64_t frame = FrameCounter;
        form->WashTimerTimer();
        QCOMPARE(FrameCounter, frame + 1);
        for (int i = 0; i < 3; ++i) {
            const QImage img = OnScreen(*(*WashWindowList)[i]);
            QCOMPARE(img,
                     Expected(screens[i]->geometry().size(), (*MonitorSettingsList)[i], frame));
        }
    }

    void anyOtherActivateIndexAlsoWashesEveryMonitor()
    {
        form->ActivateCB->setCurrentIndex(-1); // as loaded from Config(Activate=7)
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QCOMPARE(WashWindowList->size(), 3);
    }

    void selectedMonitorOpensOneWindow()
    {
        form->MonitorList->setFocus();
        QTest::keyClick(form->MonitorList, Qt::Key_Down);
        QCOMPARE(form->MonitorList->currentRow(), 1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QCOMPARE(WashWindowList->size(), 1);
        QCOMPARE(WashWindowList->front()->Tag, 1);
        QCOMPARE(WashWindowList->front()->geometry(), QRect(1920, 56, 1280, 1024));
        // Selecting another monitor during the wash does not retarget it.
        QTest::keyClick(form->MonitorList, Qt::Key_Down);
        form->WashTimerTimer();
        QCOMPARE(WashWindowList->front()->Tag, 1);
    }

    void stoppingPaths_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc on the main window") << "esc-main";
        QTest::newRow("Esc on a wash window") << "esc-wash";
        QTest::newRow("a click on a wash window") << "click-wash";
        QTest::newRow("the button") << "button";
    }

    void stoppingPaths()
    {
        QFETCH(QString, how);
        form->ActivateCB->setCurrentIndex(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QCOMPARE(WashWindowList->size(), 3);
        QVERIFY(ScreenKeptAwake());
        TWashForm *second = (*WashWindowList)[1];
        if (how == "esc-main")
            QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
        else if (how == "esc-wash")
            QTest::keyClick(second, Qt::Key_Escape);
        else if (how == "click-wash")
            QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(600, 400));
        else
            QTest::mouseClick(form->ApplyButton, Qt::LeftButton);
        ExpectIdle();
        QVERIFY(form->isVisible()); // the program runs on
        QCOMPARE(inhibitor->taken, 1);
        QCOMPARE(inhibitor->released, 1);
    }

    // A timed wash runs to the millisecond of its deadline on the session's clock; an attended
    // one then just ends, an unattended one closes the program.
    void aTimedWashEndsAtItsDeadline_data()
    {
        QTest::addColumn<bool>("unattended");
        QTest::newRow("started from the window") << false;
        QTest::newRow("started unattended") << true;
    }

    void aTimedWashEndsAtItsDeadline()
    {
        QFETCH(bool, unattended);
        QFile::remove(fx.SettingsPath());
        form->Session->WashDuration = 90'000;
        if (unattended)
            form->StartUnattendedWash(TCommandLine::AllMonitors);
        else
            QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QVERIFY(WashActive);
        now += 89'999;
        form->Session->CheckDeadline();
        form->WashTimerTimer();
        QVERIFY(WashActive);
        now += 1;
        form->Session->CheckDeadline();
        QVERIFY(!WashActive);
        QCOMPARE(inhibitor->taken, 1);
        QCOMPARE(inhibitor->released, 1);
        QCOMPARE(form->isVisible(), !unattended);
        QCOMPARE(QFile::exists(fx.SettingsPath()), unattended); // the close saved
        if (unattended) {
            // The close told the application's event loop to end; one brief run of that loop
            // takes the request in, so that the next tests' boxes can run loops of their own.
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    void aHeldEscStopsTheWashButDoesNotCloseTheProgram()
    {
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QTest::keyPress(WashWindowList->front(), Qt::Key_Escape);
        ExpectIdle();
        // The repeats reach the main window once the wash windows are gone.
        QWidget *target = form->focusWidget() ? form->focusWidget() : form;
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(target, &repeat);
        QVERIFY(form->isVisible());
        QKeyEvent fresh(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &fresh); // a new press still closes it
        QVERIFY(!form->isVisible());
    }

    void otherKeysOnAWashWindowDoNothing()
    {
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        TWashForm *w = WashWindowList->front();
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_A, Qt::Key_F4})
            QTest::keyClick(w, key);
        QVERIFY(WashActive);
        QCOMPARE(WashWindowList->size(), 1);
        QVERIFY(w->isVisible());
    }

    void previewPausesDuringAWashAndResumesAtTheCurrentFrame()
    {
        const MonitorSettings &r = (*MonitorSettingsList)[0];
        form->WashTimerTimer();
        const QImage last = form->MonitorImage->Picture();
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        for (int i = 0; i < 5; ++i)
            form->WashTimerTimer();
        QCOMPARE(form->MonitorImage->Picture(), last); // neither shown nor painted
        QVERIFY(!form->MonitorImage->isVisible());
        QTest::mouseClick(form->ApplyButton, Qt::LeftButton);
        QVERIFY(form->MonitorImage->isVisible());
        QCOMPARE(form->MonitorImage->Picture(), last); // back with its last frame
        const int64_t frame = FrameCounter;
        form->WashTimerTimer();
        QCOMPARE(form->MonitorImage->Picture(), Expected(QSize(192, 108), r, frame));
    }

    // Over four ticks from a multiple of four, the preview is painted and redrawn only at the
    // ticks whose frame differs from the one it shows, and shows the current frame throughout.
    void previewRedrawsOnlyChangedFrames_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("scanRate");
        QTest::addColumn<int>("redraws");
        QTest::newRow("no bars stay black") << 0 << 2 << 0;
        QTest::newRow("very slow steps once") << 1 << 0 << 1;
        QTest::newRow("normal steps every tick") << 1 << 2 << 4;
    }
    void previewRedrawsOnlyChangedFrames()
    {
        QFETCH(int, bars);
        QFETCH(int, scanRate);
        QFETCH(int, redraws);
        MonitorSettings &r = (*MonitorSettingsList)[0];
        r.HBars = r.VBars = bars;
        r.ScanRate = scanRate;
        FrameCounter += 4 - FrameCounter % 4;
        form->WashTimerTimer();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        int painted = 0;
        PaintCounter counter(form->MonitorImage, painted);
        for (int i = 0; i < 4; ++i) {
            const int64_t frame = FrameCounter;
            form->WashTimerTimer();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            QCOMPARE(form->MonitorImage->Picture(), Expected(QSize(192, 108), r, frame));
        }
        QCOMPARE(painted, redraws);
    }

    void aControlChangeShowsOnTheWashAtTheNextTick()
    {
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        TWashForm *w = WashWindowList->front();
        form->WashTimerTimer();
        form->VUpDown->Step(+1);
        form->VUpDown->Step(+1);
        form->ScanRateCB->setCurrentIndex(4);
        emit form->ScanRateCB->activated(4);
        const int64_t frame = FrameCounter;
        form->WashTimerTimer();
        QCOMPARE((*MonitorSettingsList)[0].VBars, 2);
        QCOMPARE(OnScreen(*w), Expected(QSize(1920, 1080), (*MonitorSettingsList)[0], frame));
    }

    void aWindowClosedByTheWindowSystemLeavesTheWash()
    {
        form->ActivateCB->setCurrentIndex(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QPointer<TWashForm> first = (*WashWindowList)[0];
        first->close(); // as the window manager's close command does
        QCOMPARE(WashWindowList->size(), 2);
        QVERIFY(!WashWindowList->contains(first.data()));
        QVERIFY(WashActive);
        form->WashTimerTimer(); // paints only the windows still open
        DeleteReleased();
        QVERIFY(first.isNull());
        (*WashWindowList)[1]->close();
        QVERIFY(WashActive);
        (*WashWindowList)[0]->close(); // the last one ends the wash
        ExpectIdle();
    }

    void monitorsGoneSinceStartUpAreSkipped()
    {
        Monitors[1] = nullptr; // as if unplugged after start-up
        form->ActivateCB->setCurrentIndex(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QCOMPARE(WashWindowList->size(), 2);
        QCOMPARE((*WashWindowList)[0]->Tag, 0);
        QCOMPARE((*WashWindowList)[1]->Tag, 2);
        QTest::mouseClick(form->ApplyButton, Qt::LeftButton);
        ExpectIdle();

        // Only the gone monitor selected: no window, so no wash either.
        form->ActivateCB->setCurrentIndex(0);
        form->MonitorList->setCurrentRow(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        ExpectIdle();
        QCOMPARE(form->ApplyButton->text(), QStringLiteral("Activate Glowsweep"));
    }

    void startingAgainFirstClosesTheListedWindows()
    {
        form->ActivateCB->setCurrentIndex(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        const QList<TWashForm *> old = *WashWindowList;
        form->StartWash();
        QCOMPARE(WashWindowList->size(), 3);
        for (TWashForm *w : old)
            QVERIFY(!WashWindowList->contains(w));
        QCOMPARE(LiveWashWindows(), 3);
        QVERIFY(WashActive);
    }

    void closingDuringAWashEndsItBeforeSaving()
    {
        form->ActivateCB->setCurrentIndex(1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        // Make the save fail: the settings folder's place is taken by a file.
        QFile::remove(fx.SettingsPath());
        QDir(fx.dir.path() + QStringLiteral("/shared")).removeRecursively();
        QFile blocker(fx.dir.path() + QStringLiteral("/shared"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto box = AnswerNextBox(QMessageBox::Ok);
        QVERIFY(!form->close());
        QVERIFY(box->seen);
        QVERIFY(form->isVisible());
        ExpectIdle(); // not "Deactivate Glowsweep" with nothing running
    }

    // A termination signal or the session's end during a wash: the wash ends, the screen may
    // sleep again, the settings are saved, and the program ends even when the save fails,
    // with no box to wait for an answer.
    void endingTheSessionDuringAWash_data()
    {
        QTest::addColumn<bool>("saveFails");
        QTest::newRow("the save succeeds") << false;
        QTest::newRow("the save fails") << true;
    }

    void endingTheSessionDuringAWash()
    {
        QFETCH(bool, saveFails);
        QFile::remove(fx.dir.path() + QStringLiteral("/shared")); // an earlier test's blocker
        QFile::remove(fx.SettingsPath());
        form->ActivateCB->setCurrentIndex(1);
        form->VUpDown->Step(+1);
        QVERIFY(Toggle(QMessageBox::Ok)->seen);
        QVERIFY(ScreenKeptAwake());
        if (saveFails)
            SetSettingsWriteFault([](qint64) { return true; });
        // A box would wait for an answer no one gives: closed and noted if one comes.
        bool boxShown = false;
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [&boxShown] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                boxShown = true;
                box->close();
            }
        });
        guard.start(0);
        form->FormEndSession();
        SetSettingsWriteFault(nullptr);
        QVERIFY(!boxShown);
        QVERIFY(!ScreenKeptAwake());
        QVERIFY(!WashActive);
        QCOMPARE(LiveWashWindows(), 0);
        QVERIFY(!form->isVisible());
        QFile f(fx.SettingsPath());
        QCOMPARE(f.open(QIODevice::ReadOnly), !saveFails);
        if (!saveFails)
            QCOMPARE(f.readAll(), EncodeSettingsFile(*MonitorSettingsList, 1));
    }

    void manyWashesLeaveNothingBehind()
    {
        form->ActivateCB->setCurrentIndex(1);
        const int before = LiveWashWindows();
        const qsizetype children = form->children().size();
        for (int i = 0; i < 1000; ++i) {
            WashActive = true;
            form->StartWash();
            form->WashTimerTimer();
            QTest::keyClick(form->windowHandle(), Qt::Key_Escape);
            if (i % 100 == 0)
                DeleteReleased();
        }
        QCOMPARE(LiveWashWindows(), before);
        QCOMPARE(form->children().size(), children);
        ExpectIdle();
    }

    // A wash that lets the screen lock asks neither the screen saver nor the compositor.
    void aWashThatLetsTheScreenSleepKeepsNothingAwake()
    {
        form->Session->KeepAwake = false;
        form->Session->BeginWash(TWashSession::AllMonitors);
        QCOMPARE(WashWindowList->size(), 3);
        for (const TWashForm *wash : std::as_const(*WashWindowList))
            QVERIFY(!wash->KeepAwake);
        QCOMPARE(inhibitor->taken, 0);
        form->Session->EndWash();
        ExpectIdle();
    }

    // The idle washer on a 5 s delay, driven step by step: at each step the clock is set, one
    // event happens, and a wash is then on screen or not, its tick running with it. Idle, Input:
    // the idle source says so; Unknown: a lock source that is there has not answered; Known: it
    // answers unlocked; Lock, Unlock: the screen lock; Request: the login manager asks for a
    // lock; Wake: the hold-off timer runs; TimeUp: the wash's time is up; Other, OtherDone:
    // another instance washes, or no longer; QuietInput: input the idle source tells when looked
    // at; Saver: a screen saver runs, seen when looked at; Tick: the wash's tick; Loop: the event
    // loop runs. Steps at "before" happen before the washer is made.
    void theIdleWasherWashesOncePerAbsence_data()
    {
        QTest::addColumn<QString>("script"); // "time event washing" steps, ';' between
        QTest::newRow("once idle, a wash; input ends it; the next idle period washes again")
            << "0 Idle 1; 1000 Input 0; 6000 Idle 1";
        QTest::newRow("a wash that ran to its end needs input and a new idle period")
            << "0 Idle 1; 20000 TimeUp 0; 30000 Wake 0; 31000 Input 0; 36000 Idle 1";
        QTest::newRow("no wash while a lock source has not answered")
            << "0 Unknown 0; 100 Idle 0; 200 Known 1";
        QTest::newRow("the lock ends a wash; the unlock counts as input")
            << "0 Idle 1; 1000 Lock 0; 9000 Unlock 0; 13999 Wake 0; 14000 Wake 1";
        QTest::newRow("input after the unlock: the next idle period washes")
            << "0 Lock 0; 0 Idle 0; 1000 Unlock 0; 2000 Input 0; 7000 Idle 1";
        QTest::newRow("another instance's wash is this absence's")
            << "0 Other 0; 0 Idle 0; 1000 OtherDone 0; 2000 Wake 0; 3000 Input 0; 8000 Idle 1";
        QTest::newRow("a lock asked for holds until input after an idle period")
            << "0 Request 0; 0 Idle 0; 1000 Input 0; 5999 Wake 0; 6000 Idle 1";
        QTest::newRow("idle before the washer was made: a wash once the event loop runs")
            << "before Idle 0; 0 Loop 1";
        QTest::newRow("input told only when looked at ends the wash at the next tick")
            << "0 Idle 1; 1000 QuietInput 1; 1250 Tick 0; 6250 Idle 1";
        QTest::newRow("a screen saver seen at a tick ends the wash and holds until input")
            << "0 Idle 1; 500 Saver 1; 750 Tick 0; 2000 Wake 0; 3000 Input 0; 8000 Idle 1";
        // Input heard of late (Windows tells it when asked) holds the next wash no longer than
        // the idle source does.
        QTest::newRow("a screen saver at the idle delay: no wash, and none held off after input")
            << "0 Saver 0; 0 Idle 0; 9000 Input 0; 9001 Idle 1";
    }

    void theIdleWasherWashesOncePerAbsence()
    {
        QFETCH(QString, script);
        fx.form.reset(); // the idle washer runs without a main window
        int64_t clock = 0;
        bool othersWash = false;
        bool saverRuns = false;
        auto idle = std::make_unique<FakeIdleTime>();
        FakeIdleTime *source = idle.get();
        auto locks = std::make_unique<TLockWatch>();
        TLockWatch *lock = locks.get();
        using State = TLockWatch::State;
        connect(lock, &TLockWatch::looking, lock, [lock, &saverRuns] {
            if (saverRuns)
                lock->Set(TLockWatch::Source::WindowsSaver, State::Locked);
        });
        QStringList steps = script.split(u';');
        for (; steps.first().startsWith(QLatin1String("before")); steps.removeFirst())
            source->Say(steps.first().contains(QLatin1String("Idle")));
        TIdleWasher washer(
            std::move(idle), std::move(locks), TWashSession::AllMonitors, 5000, 20000,
            fx.Shared() + "/Glowsweep Wizard/", [&othersWash] { return othersWash; },
            [&clock] { return clock; });
        for (const QString &step : std::as_const(steps)) {
            const QStringList part = step.simplified().split(u' ');
            clock = part[0].toLongLong();
            const QString event = part[1];
            if (event == QLatin1String("Input"))
                saverRuns = false; // input ends a screen saver
            if (event == QLatin1String("Idle") || event == QLatin1String("Input"))
                source->Say(event == QLatin1String("Idle"));
            else if (event == QLatin1String("QuietInput"))
                source->quietInput = true;
            else if (event == QLatin1String("Saver"))
                saverRuns = true;
            else if (event == QLatin1String("Tick"))
                washer.WashTick();
            else if (event == QLatin1String("Loop"))
                QCoreApplication::processEvents();
            else if (event == QLatin1String("Unknown") || event == QLatin1String("Known"))
                lock->Set(TLockWatch::Source::LockedHint,
                          event == QLatin1String("Known") ? State::Unlocked : State::Unknown);
            else if (event == QLatin1String("Lock") || event == QLatin1String("Unlock"))
                lock->Set(TLockWatch::Source::SaverService,
                          event == QLatin1String("Lock") ? State::Locked : State::Unlocked);
            else if (event == QLatin1String("Request"))
                lock->Set(TLockWatch::Source::LockRequest, State::Locked);
            else if (event == QLatin1String("Wake"))
                washer.Reconsider();
            else if (event == QLatin1String("TimeUp"))
                washer.Session()->CheckDeadline();
            else
                othersWash = event == QLatin1String("Other");
            const bool washing = part[2] == QLatin1String("1");
            QVERIFY2(washer.IsWashing() == washing, qPrintable(step));
            QVERIFY2(washer.IsTicking() == washing, qPrintable(step));
            QCOMPARE(WashWindowList->size(), washing ? 3 : 0);
        }
    }

    // Each wash reads the settings file as it is then, and the idle washer never writes it, at
    // the end of a wash or of the program.
    void theIdleWasherReadsTheSettingsBeforeEachWashAndWritesNone()
    {
        fx.form.reset();
        const auto settings = [](int32_t hbars) {
            return EncodeSettingsFile({{1, 3, hbars, 1, 4}}, 0);
        };
        fx.WriteSettings(settings(5));
        QDateTime savedAt;
        {
            auto idle = std::make_unique<FakeIdleTime>();
            FakeIdleTime *source = idle.get();
            TIdleWasher washer(std::move(idle), std::make_unique<TLockWatch>(), 0, 5000, {},
                               fx.Shared() + "/Glowsweep Wizard/", {});
            source->Say(true);
            QCOMPARE(WashWindowList->size(), 1);
            QCOMPARE((*MonitorSettingsList)[0].HBars, 5);
            QCOMPARE((*MonitorSettingsList)[1],
                     MonitorSettings::ForMonitor(1)); // no line: a start's
            source->Say(false);
            fx.WriteSettings(settings(7)); // saved by the main window meanwhile
            savedAt = QFileInfo(fx.SettingsPath()).lastModified();
            source->Say(true);
            QCOMPARE((*MonitorSettingsList)[0].HBars, 7);
        }
        QCOMPARE(LiveWashWindows(), 0);
        QFile file(fx.SettingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings(7));
        QCOMPARE(QFileInfo(file).lastModified(), savedAt);
    }

    // A wash holds the lock that tells the other instances so, from its start to its end; an
    // instance sees only the others' washes.
    void aWashIsSeenByTheOtherInstancesThroughTheWashLock()
    {
        const QString path = fx.dir.filePath(QStringLiteral("wash.lock"));
        form->Session->SetWashLock(std::make_unique<TWashLock>(path));
        TWashLock other(path);
        QVERIFY(!other.OthersHold());
        form->Session->BeginWash(1);
        QVERIFY(other.OthersHold());
        other.Hold(); // two washes at once share the lock
        QVERIFY(!other.OthersHold());
        other.Release();
        form->Session->EndWash();
        QVERIFY(!other.OthersHold());
        form->Session->BeginWash(TWashSession::AllMonitors);
        form->Session->SetWashLock(nullptr); // the lock goes with its holder
        QVERIFY(!other.OthersHold());
        form->Session->EndWash();
    }
};

QTEST_MAIN(TestWashSession)
#include "test_washsession.moc"
