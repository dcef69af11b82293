// A stand-in for the desktop's screen saver on the session bus: grants every Inhibit a new
// cookie and prints each call on standard output ("Inhibit 1", "UnInhibit 1"), so that a test
// sees whether the program releases what it asked for. Prints "ready" once it owns its name.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <cstdio>

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

private:
    uint lastCookie = 0;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    FakeScreenSaver saver;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                            QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        std::fprintf(stderr, "fakescreensaver: cannot serve on the session bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fakescreensaver.moc"
