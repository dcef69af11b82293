#pragma once

#include "wash/washsession.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <optional>

class IdleTimeSource;
class QTimer;

/// Decides when a wash runs by itself: once the session has had no input for the idle delay,
/// and never while the screen is locked. Any input after the wash began ends it, and so does
/// the lock. A wash that ended, however it ended, is the wash of that absence: the next one
/// needs new input and then a full idle delay again, so that an unattended machine is washed
/// once per absence. It only asks: washDue and washOver are for whoever runs the wash.
class TIdleWatch : public QObject {
    Q_OBJECT

public:
    /// How often the idle time is read, in milliseconds.
    static constexpr int PollInterval = 250;
    /// The shortest idle delay the watch can tell from the gaps between its readings.
    static constexpr int64_t ShortestDelay = 1000;

    /// `delay`: the milliseconds without input before a wash, at least ShortestDelay.
    TIdleWatch(std::unique_ptr<IdleTimeSource> source, int64_t delay, WashClock clock,
               QObject *parent = nullptr);
    ~TIdleWatch() override;

    /// Reads the idle time every PollInterval from now on, the first time at once.
    void Start();
    /// One reading of the idle time, and what follows from it.
    void Poll();
    /// The screen is locked, or its screen saver runs (`locked`), or neither any more.
    void SetLocked(bool locked);
    /// The wash ended by some other path: its time is up, or its windows went.
    void WashEnded() { Washing = false; }
    bool IsWashing() const { return Washing; }

signals:
    /// The session has been idle long enough: a wash should start.
    void washDue();
    /// There was input, or the screen locked: the wash should end at once.
    void washOver();

private:
    void End();

    std::unique_ptr<IdleTimeSource> Source;
    int64_t Delay;
    WashClock Clock;
    QTimer *PollTimer;
    bool Washing = false;
    bool Locked = false;
    // When the last wash began: only input after it makes the next one due.
    std::optional<int64_t> LastWashStart;
};
