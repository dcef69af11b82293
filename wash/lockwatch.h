#pragma once

#include <QList>
#include <QObject>

/// Whether the screen is locked or blanked, from every source the desktop has: each says so by
/// its own signal or event, and the watch puts them together. The screen counts as locked while
/// any source says so, and as unknown while a source that is there has not answered yet, so
/// that nothing is shown behind a lock the program has not heard of. A source that is not there
/// counts for nothing.
class TLockWatch : public QObject {
    Q_OBJECT

public:
    enum class State { Unlocked, Unknown, Locked };
    /// The sources, each told apart by the platform code that feeds it.
    enum class Source {
        SaverService,   ///< org.freedesktop.ScreenSaver's ActiveChanged
        GnomeSaver,     ///< org.gnome.ScreenSaver's ActiveChanged
        LockedHint,     ///< the login manager's LockedHint on the session
        LockRequest,    ///< the login manager's Lock signal, until Unlock or input after it
        XServerSaver,   ///< the X server's own screen saver
        XScreensaver,   ///< xscreensaver's status on the root window
        WindowsSession, ///< the Windows session's lock, or its disconnection
        WindowsSaver    ///< the Windows screen saver, seen running until input after it
    };

    /// Watches nothing yet: WatchPlatformLocks starts the platform's sources; a test sets its own.
    explicit TLockWatch(QObject *parent = nullptr);

    /// What `source` says now; Unlocked also for a source that is not there.
    void Set(Source source, State state);
    State Now() const { return Combined; }

    /// Has the sources that tell only when asked read now (`looking`): the idle washer asks
    /// before a wash and at every tick of one.
    void Look() { emit looking(); }

public slots:
    /// Input came after an idle period: whoever asked for a lock and said nothing since has been
    /// answered by the user, who unlocked or never was locked out, and a screen saver seen
    /// running has ended.
    void InputAfterIdle()
    {
        Set(Source::LockRequest, State::Unlocked);
        Set(Source::WindowsSaver, State::Unlocked);
    }

signals:
    /// A source that tells only when asked reads now.
    void looking();
    /// The combined state changed from `before` to `now`.
    void stateChanged(TLockWatch::State now, TLockWatch::State before);

private:
    QList<std::pair<Source, State>> States;
    State Combined = State::Unlocked;
};

/// Starts this platform's sources on `watch`: each that is there counts as Unknown until it
/// answers. Needs the application object and an event loop for the answers.
void WatchPlatformLocks(TLockWatch &watch);
