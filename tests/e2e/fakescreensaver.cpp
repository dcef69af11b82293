// A stand-in for the desktop's screen saver on the session bus: grants every Inhibit a new
// cookie and prints each call on standard output ("Inhibit 1", "UnInhibit 1"), so that a test
// sees whether the program releases what it asked for. Prints "ready" once it owns its name.
// SetActive(b), called by the test, plays the screen saver or lock engaging (true) or letting go:
// GetActive then answers b, and ActiveChanged(b) goes out. SetAnswerDelay(ms) makes GetActive
// answer that much later.
//
// "fakescreensaver login1" stands in for the login manager on the system bus instead: one
// session, whose LockedHint the test sets with SetLockedHint, as a lock screen would, and which
// sends Lock or Unlock when the test calls AskLock(b), as loginctl lock-session would.
// "fakescreensaver mutter" stands in for GNOME's idle monitor on the session bus: GetIdletime
// answers what the test last gave SetIdletime, in milliseconds, and the watches fire as that
// count passes their interval (idle watches) or starts again (user-active watches).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>
#include <initializer_list>
#include <utility>

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public slots:
    Q_SCRIPTABLE uint Inhibit(const QString &, const QString &)
    {
        std::printf("Inhibit %u\n", ++lastCookie);
        std::fflush(stdout);
        return lastCookie;
    }

    Q_SCRIPTABLE void UnInhibit(uint cookie)
    {
        std::printf("UnInhibit %u\n", cookie);
        std::fflush(stdout);
    }

    /// Answers after the delay SetAnswerDelay gave, as a service busy elsewhere would.
    Q_SCRIPTABLE bool GetActive(const QDBusMessage &call)
    {
        if (answerDelay == 0)
            return active;
        call.setDelayedReply(true);
        QTimer::singleShot(answerDelay, this, [this, call] {
            QDBusConnection::sessionBus().send(call.createReply(active));
        });
        return false;
    }

    Q_SCRIPTABLE void SetAnswerDelay(uint milliseconds) { answerDelay = milliseconds; }

    Q_SCRIPTABLE void SetActive(bool on)
    {
        active = on;
        std::printf("SetActive %d\n", on ? 1 : 0);
        std::fflush(stdout);
        emit ActiveChanged(on);
    }

signals:
    Q_SCRIPTABLE void ActiveChanged(bool on);

private:
    uint lastCookie = 0;
    bool active = false;
    uint answerDelay = 0;
};

class FakeLoginSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool LockedHint MEMBER locked SCRIPTABLE true)

public:
    static inline const QString Path = QStringLiteral("/org/freedesktop/login1/session/_1");

public slots:
    Q_SCRIPTABLE void SetLockedHint(bool on)
    {
        locked = on;
        std::printf("SetLockedHint %d\n", on ? 1 : 0);
        std::fflush(stdout);
        QDBusMessage changed =
            QDBusMessage::createSignal(Path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        changed << QStringLiteral("org.freedesktop.login1.Session")
                << QVariantMap{{QStringLiteral("LockedHint"), on}} << QStringList();
        QDBusConnection::systemBus().send(changed);
    }

    /// What loginctl lock-session (true) and unlock-session (false) make the login manager send.
    Q_SCRIPTABLE void AskLock(bool on)
    {
        if (on)
            emit Lock();
        else
            emit Unlock();
    }

signals:
    Q_SCRIPTABLE void Lock();
    Q_SCRIPTABLE void Unlock();

private:
    bool locked = false;
};

class FakeLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public slots:
    Q_SCRIPTABLE QDBusObjectPath GetSession(const QString &)
    {
        return QDBusObjectPath(FakeLoginSession::Path);
    }
};

class FakeIdleMonitor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")

public slots:
    Q_SCRIPTABLE qulonglong GetIdletime() { return idle; }

    Q_SCRIPTABLE uint AddIdleWatch(qulonglong interval)
    {
        idleWatches.insert(++lastWatch, interval);
        std::printf("AddIdleWatch %llu\n", interval);
        std::fflush(stdout);
        return lastWatch;
    }

    Q_SCRIPTABLE uint AddUserActiveWatch()
    {
        activeWatches.append(++lastWatch);
        std::printf("AddUserActiveWatch\n");
        std::fflush(stdout);
        return lastWatch;
    }

    Q_SCRIPTABLE void RemoveWatch(uint id)
    {
        idleWatches.remove(id);
        activeWatches.removeAll(id);
    }

    /// The count from now on: an idle watch whose interval it reaches fires, and input (a count
    /// that starts again) fires every user-active watch once.
    Q_SCRIPTABLE void SetIdletime(qulonglong milliseconds)
    {
        const qulonglong before = std::exchange(idle, milliseconds);
        if (idle < before) {
            for (const uint id : std::exchange(activeWatches, {}))
                emit WatchFired(id);
        }
        for (auto it = idleWatches.cbegin(); it != idleWatches.cend(); ++it) {
            if (idle >= it.value() && before < it.value())
                emit WatchFired(it.key());
        }
    }

signals:
    Q_SCRIPTABLE void WatchFired(uint id);

private:
    qulonglong idle = 0;
    uint lastWatch = 0;
    QMap<uint, qulonglong> idleWatches;
    QList<uint> activeWatches;
};

/// Serves `objects` (path, object) under `service` on `bus`, then runs until killed.
int Serve(QDBusConnection bus, const QString &service,
          std::initializer_list<std::pair<QString, QObject *>> objects)
{
    const auto exports = QDBusConnection::ExportScriptableSlots |
                         QDBusConnection::ExportScriptableSignals |
                         QDBusConnection::ExportScriptableProperties;
    bool served = true;
    for (const auto &[path, object] : objects)
        served = served && bus.registerObject(path, object, exports);
    if (!served || !bus.registerService(service)) {
        std::fprintf(stderr, "fakescreensaver: cannot serve %s\n", qPrintable(service));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray role = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (role == "login1") {
        FakeLoginManager manager;
        FakeLoginSession session;
        return Serve(QDBusConnection::systemBus(), QStringLiteral("org.freedesktop.login1"),
                     {{QStringLiteral("/org/freedesktop/login1"), &manager},
                      {FakeLoginSession::Path, &session}});
    }
    if (role == "mutter") {
        FakeIdleMonitor monitor;
        return Serve(QDBusConnection::sessionBus(), QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                     {{QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &monitor}});
    }
    FakeScreenSaver saver;
    return Serve(QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.ScreenSaver"),
                 {{QStringLiteral("/org/freedesktop/ScreenSaver"), &saver}});
}

#include "fakescreensaver.moc"
