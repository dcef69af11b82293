#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

/// Tells when the desktop session has had no keyboard or mouse input for a delay, and when input
/// comes again, as the desktop itself says so: a source waits for the desktop's word, and reads
/// nothing on a clock of its own while nothing changes.
class IdleSource : public QObject {
    Q_OBJECT

public:
    /// True from idled to resumed.
    bool IsIdle() const { return Idle; }

    /// Reads the desktop now, for a source whose desktop tells input only when asked: the idle
    /// washer calls this at every tick of a wash, so that input ends the wash within a tick.
    virtual void Look() {}
    /// The wash windows have just appeared or gone. A pointer move that the window system makes
    /// up for that, with the pointer where it was, is not the user's input.
    virtual void WashWindowsChanged() {}

signals:
    /// The session has had no input for the delay.
    void idled();
    /// Input came after idled.
    void resumed();

protected:
    explicit IdleSource(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
    /// What the desktop said; signals only a change.
    void SetIdle(bool idle)
    {
        if (idle == Idle)
            return;
        Idle = idle;
        if (Idle)
            emit idled();
        else
            emit resumed();
    }

private:
    bool Idle = false;
};

/// This platform's idle source for `delay` milliseconds, watching from now on; null where the
/// desktop tells no idle time. Needs the application object.
std::unique_ptr<IdleSource> PlatformIdleSource(int64_t delay);
