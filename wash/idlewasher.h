#pragma once

#include "wash/lockwatch.h"
#include "wash/washsession.h"

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class IdleSource;
class QTimer;
class QWidget;

/// The idle washer: the program as it lives from login to logout without a window of its own,
/// washing by itself whenever the desktop has been idle for a delay. It builds no main window
/// and ticks only while a wash is on screen; in between it waits for what the desktop says.
///
/// A wash starts once the session has been idle for the delay, the screen is known not to be
/// locked, and no other instance of the program washes. Input ends it, and so does the lock. A
/// wash that ended, however it ended, is the wash of that absence: the next one needs input and
/// then a full idle delay again; a wash of another instance counts as well. An unlock counts as
/// input, since the user is there. Each wash reads the settings file afresh; nothing is written.
///
/// Sets up and keeps the program's shared state: Monitors, MonitorSettingsList, WashWindowList.
class TIdleWasher : public QObject {
    Q_OBJECT

public:
    /// Tells whether another instance of the program washes now.
    using OthersWashing = std::function<bool()>;

    /// `target`: a monitor index or TWashSession::AllMonitors; `delay`: the milliseconds without
    /// input before a wash; `duration`: each wash ends by itself after it, if set. The settings
    /// are read from `settingsFolder`. `locks` is watched from the start, with its sources set by
    /// whoever made it.
    TIdleWasher(std::unique_ptr<IdleSource> idle, std::unique_ptr<TLockWatch> locks, int target,
                int64_t delay, std::optional<int64_t> duration, QByteArray settingsFolder,
                OthersWashing othersWashing, WashClock clock = SteadyClock(),
                QObject *parent = nullptr);
    ~TIdleWasher() override;

    TWashSession *Session() const { return WashSession; }
    TLockWatch *Locks() const { return LockWatch.get(); }
    bool IsWashing() const;
    /// Whether the wash tick runs.
    bool IsTicking() const;

    /// Starts a wash if everything allows it now: what the idle source, the lock, the hold-off
    /// timer and the desktop's monitors run when they change.
    void Reconsider();
    /// A tick of a wash: what the sources that tell only when asked say, then the next frame.
    void WashTick();

private:
    void Idled();
    void Resumed();
    void LockChanged(TLockWatch::State now, TLockWatch::State before);
    void BeginWash();
    void EndWash();
    /// Records for the monitors there now, with the settings file's values over them.
    void LoadRecords();
    void MonitorsChanged();

    std::unique_ptr<IdleSource> Idle;
    std::unique_ptr<TLockWatch> LockWatch;
    int Target;
    int64_t Delay;
    QByteArray SettingsFolder;
    OthersWashing OthersWash;
    WashClock Clock;
    std::unique_ptr<QWidget> Owner; // owns the wash windows; never shown
    TWashSession *WashSession;
    QTimer *Tick;
    QTimer *HoldOff;
    bool AbsenceWashed = false;
    std::optional<int64_t> NotBefore; // an unlock holds the next wash off until then
};
