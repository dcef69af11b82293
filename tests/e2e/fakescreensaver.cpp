// A stand-in for the desktop's screen saver on the session bus: grants every Inhibit a new
// cookie and prints each call on standard output ("Inhibit 1", "UnInhibit 1"), so that a test
// sees whether the program releases what it asked for. Prints "ready" once it owns its name.
// SetActive(b), called by the test, plays the screen saver or lock engaging (true) or letting go:
// GetActive then answers b, and ActiveChanged(b) goes out.
//
// "fakescreensaver login1" stands in for the login manager on the system bus instead: one
// session, whose LockedHint the test sets with SetLockedHint, as a lock screen would.
// "fakescreensaver mutter" stands in for GNOME's idle monitor on the session bus: GetIdletime
// answers what the test last gave SetIdletime, in milliseconds.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
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

    Q_SCRIPTABLE bool GetActive() { return active; }

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
    Q_SCRIPTABLE void SetIdletime(qulonglong milliseconds) { idle = milliseconds; }

private:
    qulonglong idle = 0;
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
