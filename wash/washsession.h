#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QTimer;
class QWidget;
class ScreenSaverInhibitor;
class TWashForm;
class TWashLock;

/// Milliseconds on a clock that never goes back; the program reads the steady clock, tests a
/// clock of their own.
using WashClock = std::function<int64_t()>;
WashClock SteadyClock();

/// A wash and the tick that drives it: the wash windows over the chosen monitors, kept awake,
/// painted from their records every tick, and ended by time when a duration is set. It knows
/// no control of the main window: what to wash comes in as a monitor index, and what the wash
/// window reports goes out as signals for the window that started the wash to act on.
///
/// Works on the program's shared state: WashActive, WashWindowList, MonitorSettingsList,
/// Monitors and FrameCounter.
class TWashSession : public QObject {
    Q_OBJECT

public:
    /// Wash every monitor rather than one.
    static constexpr int AllMonitors = -1;

    /// `owner` owns the wash windows; the session is its child.
    explicit TWashSession(QWidget *owner, WashClock clock = SteadyClock());
    ~TWashSession() override;

    /// Replaces the clock, for a test.
    void SetClock(WashClock clock) { Clock = std::move(clock); }
    /// Replaces what keeps the screen awake; the session takes it over.
    void SetInhibitor(ScreenSaverInhibitor *inhibitor);
    /// Held while a wash of this session is on screen, for the program's other instances to see.
    void SetWashLock(std::unique_ptr<TWashLock> lock);

    /// Every wash of this run ends by itself after this many milliseconds; empty: a wash runs
    /// until it is stopped.
    std::optional<int64_t> WashDuration;
    /// False: a wash lets the screen saver and the lock engage as if no wash ran.
    bool KeepAwake = true;

    /// Starts a wash of monitor `target` (an index) or of AllMonitors: WashActive, then
    /// washBegins, then StartWash. `unattended`: when its time is up, unattendedOver is
    /// emitted instead of the wash just ending. A wash that could open no window ends at once.
    void BeginWash(int target, bool unattended = false);
    /// Ends the running wash: WashActive cleared, washEnds, then StopWash.
    void EndWash();
    /// Ends a running wash as EndWash does, or closes any window left listed.
    void EndAnyWash();
    /// Opens a wash window over monitor `target`, or one per record for AllMonitors, first
    /// closing any still listed; keeps the screen awake and starts the clock of a timed wash.
    /// An index without a current monitor or record opens nothing.
    void StartWash(int target);
    /// Closes every wash window, lets the screen sleep again and stops the clock.
    void StopWash();
    /// One tick: every open wash window painted from its record while a wash runs, otherwise
    /// previewTick; then FrameCounter advances.
    void Tick();
    /// Ends a wash whose time is up; a wash with time left goes on.
    void CheckDeadline();
    /// The desktop's monitors changed and Monitors and the records follow them: every wash
    /// window takes its monitor's new index, a wash of every monitor covers the ones that came,
    /// and each window is put back on top of its monitor.
    void MonitorsChanged();

    /// True while the running wash was started unattended.
    bool IsUnattended() const { return Unattended; }

signals:
    void washBegins();
    void washEnds();
    /// A tick while no wash runs: the preview's turn to be painted.
    void previewTick();
    /// A key pressed on a wash window (Qt::Key values), unchanged.
    void keyDown(int key);
    /// A click on a wash window.
    void clicked();
    /// An unattended wash is over: its time is up, or its monitors have gone. The wash may
    /// still be running.
    void unattendedOver();
    /// Starting a wash found `what` (named for a person), which can blank the screen, unable to
    /// be held back; the wash runs all the same.
    void cannotKeepAwake(const QString &what);

private:
    void OpenWashWindow(int index);
    void WashWindowReleased(TWashForm *form);

    QWidget *Owner;
    WashClock Clock;
    ScreenSaverInhibitor *Inhibitor;
    std::unique_ptr<TWashLock> WashLock;
    QTimer *EndTimer;
    bool Unattended = false;
    bool WashAll = false; // the running wash covers every monitor
    bool Stopping = false;
    int64_t Deadline = 0;
};
