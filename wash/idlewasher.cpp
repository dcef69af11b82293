#include "wash/idlewasher.h"

#include "app/gswglobals.h"
#include "settings/settingsfile.h"
#include "wash/idletime.h"
#include "wash/washunit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <climits>

TIdleWasher::TIdleWasher(std::unique_ptr<IdleSource> idle, std::unique_ptr<TLockWatch> locks,
                         int target, int64_t delay, std::optional<int64_t> duration,
                         QByteArray settingsFolder, OthersWashing othersWashing, WashClock clock,
                         QObject *parent)
    : QObject(parent)
    , Idle(std::move(idle))
    , LockWatch(std::move(locks))
    , Target(target)
    , Delay(delay)
    , SettingsFolder(std::move(settingsFolder))
    , OthersWash(std::move(othersWashing))
    , Clock(std::move(clock))
    , Owner(std::make_unique<QWidget>())
    , WashSession(new TWashSession(Owner.get(), Clock))
    , Tick(new QTimer(this))
    , HoldOff(new QTimer(this))
{
    MonitorSettingsList = std::make_unique<QList<MonitorSettings>>();
    WashWindowList = std::make_unique<QList<TWashForm *>>();
    LoadRecords();

    WashSession->KeepAwake = false; // the screen saver and the lock come first
    WashSession->WashDuration = duration;
    // The tick runs while a wash is on screen, and only then.
    Tick->setInterval(250);
    connect(Tick, &QTimer::timeout, this, &TIdleWasher::WashTick);
    connect(WashSession, &TWashSession::washEnds, this, [this] {
        Tick->stop();
        Idle->WashWindowsChanged();
    });
    // A key or a click on a wash window is input too, told at once.
    connect(WashSession, &TWashSession::keyDown, this, [this] { EndWash(); });
    connect(WashSession, &TWashSession::clicked, this, [this] { EndWash(); });

    HoldOff->setSingleShot(true);
    connect(HoldOff, &QTimer::timeout, this, &TIdleWasher::Reconsider);
    connect(Idle.get(), &IdleSource::idled, this, &TIdleWasher::Idled);
    connect(Idle.get(), &IdleSource::resumed, this, &TIdleWasher::Resumed);
    connect(LockWatch.get(), &TLockWatch::stateChanged, this, &TIdleWasher::LockChanged);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &TIdleWasher::MonitorsChanged);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TIdleWasher::MonitorsChanged,
            Qt::QueuedConnection); // once Qt has let go of the screen
    // A source may have been idle before anyone listened; the first look is the event loop's.
    QTimer::singleShot(0, this, &TIdleWasher::Reconsider);
}

TIdleWasher::~TIdleWasher()
{
    WashSession->EndAnyWash();
    Owner.reset(); // the wash windows, and the session with them
    WashWindowList.reset();
    MonitorSettingsList.reset();
}

bool TIdleWasher::IsWashing() const
{
    return WashActive;
}

bool TIdleWasher::IsTicking() const
{
    return Tick->isActive();
}

void TIdleWasher::Reconsider()
{
    if (WashActive || !Idle->IsIdle() || AbsenceWashed)
        return;
    LockWatch->Look();
    if (LockWatch->Now() != TLockWatch::State::Unlocked)
        return;
    if (NotBefore) {
        const int64_t left = *NotBefore - Clock();
        if (left > 0) {
            HoldOff->start(static_cast<int>(std::min<int64_t>(left, INT_MAX)));
            return;
        }
        NotBefore.reset();
    }
    // Another instance's wash is this absence's wash.
    AbsenceWashed = true;
    if (!OthersWash || !OthersWash())
        BeginWash();
}

void TIdleWasher::Idled()
{
    Reconsider();
}

void TIdleWasher::Resumed()
{
    AbsenceWashed = false;
    LockWatch->InputAfterIdle();
    // The idle source holds the next wash off until a full delay after this input; a source that
    // hears of input late must not have it held off a second time from the hearing.
    NotBefore.reset();
    EndWash();
}

void TIdleWasher::LockChanged(TLockWatch::State now, TLockWatch::State before)
{
    if (now != TLockWatch::State::Unlocked) {
        EndWash();
        return;
    }
    if (before == TLockWatch::State::Locked) {
        // Unlocked without a key or a move (a fingerprint, loginctl unlock-session): the user
        // is there, so the next wash needs a full idle delay from now.
        AbsenceWashed = false;
        NotBefore = Clock() + Delay;
    }
    Reconsider();
}

void TIdleWasher::BeginWash()
{
    LoadRecords();
    WashSession->BeginWash(Target);
    if (!WashActive)
        return;          // no monitor to wash
    WashSession->Tick(); // the first frame now, not a tick later
    Tick->start();
    Idle->WashWindowsChanged();
}

void TIdleWasher::WashTick()
{
    // Either may end the wash.
    Idle->Look();
    LockWatch->Look();
    if (WashActive)
        WashSession->Tick();
}

void TIdleWasher::EndWash()
{
    if (WashActive)
        WashSession->EndWash();
}

void TIdleWasher::LoadRecords()
{
    Monitors.clear();
    for (QScreen *screen : QGuiApplication::screens())
        Monitors.append(screen);
    // More positions than monitors, as a start of the main window reads them; only the
    // monitors' own are kept.
    QList<MonitorSettings> records;
    for (qsizetype i = 0; i < Monitors.size(); ++i)
        records.append(MonitorSettings::ForMonitor(static_cast<int32_t>(i)));
    LoadSettingsFile(SettingsFolder, records);
    *MonitorSettingsList = records;
}

void TIdleWasher::MonitorsChanged()
{
    if (!WashActive)
        return; // the next wash reads them anyway
    LoadRecords();
    WashSession->MonitorsChanged();
}
