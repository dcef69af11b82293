// ScreenSaverInhibitor against fake desktop services, on a private session bus that this test
// starts for itself: the user's own session is never touched.

#include "wash/screensaverinhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTest>
#include <QVariantMap>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString FakeDesktop = QStringLiteral("fake-desktop");
const QString PortalRequestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/1_7/gsw");

// A dbus-daemon of our own, without service activation, that dies with this process.
struct PrivateBus {
    pid_t pid = -1;
    QByteArray address;

    bool Start()
    {
        char config[] = "/tmp/gsw-bus-XXXXXX";
        const int fd = mkstemp(config);
        if (fd < 0)
            return false;
        const std::string text =
            "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>"
            "<auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
            "<allow own=\"*\"/></policy></busconfig>";
        const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
        close(fd);
        int out[2];
        if (!written || pipe(out) != 0) {
            unlink(config);
            return false;
        }
        const std::string configArg = std::string("--config-file=") + config;
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(out[1], STDOUT_FILENO);
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            execlp("dbus-daemon", "dbus-daemon", configArg.c_str(), "--nofork", "--nopidfile",
                   "--print-address=1", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char c;
        while (pid > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            address += c;
        close(out[0]);
        unlink(config);
        if (address.isEmpty()) {
            Stop();
            return false;
        }
        return true;
    }

    void Stop()
    {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
};

QDBusConnection FakeBus()
{
    return QDBusConnection(FakeDesktop);
}

// The screen-saver service, answering at once or, when told to, only when ReplyToHeld runs.
class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QStringList applications;
    QStringList reasons;
    QList<uint> uninhibited;
    bool holdReplies = false;
    QList<QDBusMessage> held;
    uint nextCookie = 4242;

    void ReplyToHeld()
    {
        for (const QDBusMessage &call : std::as_const(held))
            FakeBus().send(call.createReply(nextCookie++));
        held.clear();
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        applications << application;
        reasons << reason;
        if (holdReplies) {
            setDelayedReply(true);
            held << message();
            return 0;
        }
        return nextCookie++;
    }
    void UnInhibit(uint cookie) { uninhibited << cookie; }
};

class FakeRequest : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")

public:
    int closed = 0;

public slots:
    void Close() { ++closed; }
};

class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")

public:
    QStringList windows;
    QList<uint> flags;
    QList<QVariantMap> options;

public slots:
    QDBusObjectPath Inhibit(const QString &window, uint flag, const QVariantMap &option)
    {
        windows << window;
        flags << flag;
        options << option;
        return QDBusObjectPath(PortalRequestPath);
    }
};

// Lets every reply the bus owes this process arrive and be handled: the bus answers this
// connection in order, so once a later call of ours returns, the earlier answers are in.
void SettleBus(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("x.y"));
        QCoreApplication::processEvents();
    }
}

} // namespace

class TestScreenSaverInhibitor : public QObject {
    Q_OBJECT

public:
    explicit TestScreenSaverInhibitor(bool busStarted)
        : haveBus(busStarted)
    {
    }

private:
    bool haveBus;
    std::unique_ptr<FakeScreenSaver> screenSaver;
    std::unique_ptr<FakePortal> portal;
    std::unique_ptr<FakeRequest> request;

    bool OfferScreenSaver(const QString &path)
    {
        screenSaver = std::make_unique<FakeScreenSaver>();
        return FakeBus().registerObject(path, screenSaver.get(), QDBusConnection::ExportAllSlots) &&
               FakeBus().registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
    }

    bool OfferPortal()
    {
        portal = std::make_unique<FakePortal>();
        request = std::make_unique<FakeRequest>();
        return FakeBus().registerObject(QStringLiteral("/org/freedesktop/portal/desktop"),
                                        portal.get(), QDBusConnection::ExportAllSlots) &&
               FakeBus().registerObject(PortalRequestPath, request.get(),
                                        QDBusConnection::ExportAllSlots) &&
               FakeBus().registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

private slots:
    void initTestCase()
    {
        // A test dependency (./build.sh test installs it): without it nothing here is tested,
        // which must not pass.
        if (!haveBus)
            QFAIL("dbus-daemon did not start (Debian package dbus-daemon)");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, FakeDesktop).isConnected());
    }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cleanup()
    {
        FakeBus().unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
        FakeBus().unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        for (const char *path :
             {"/org/freedesktop/ScreenSaver", "/ScreenSaver", "/org/freedesktop/portal/desktop"})
            FakeBus().unregisterObject(QString::fromLatin1(path));
        FakeBus().unregisterObject(PortalRequestPath);
        SettleBus(2);
        screenSaver.reset();
        portal.reset();
        request.reset();
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(FakeDesktop); }

    void inhibitsAndReleasesThroughTheScreenSaver_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("usual object path") << QStringLiteral("/org/freedesktop/ScreenSaver");
        QTest::newRow("older object path") << QStringLiteral("/ScreenSaver");
    }
    void inhibitsAndReleasesThroughTheScreenSaver()
    {
        QFETCH(QString, path);
        QVERIFY(OfferScreenSaver(path));
        {
            ScreenSaverInhibitor inhibitor;
            inhibitor.Inhibit(QStringLiteral("Washing"));
            inhibitor.Inhibit(QStringLiteral("Washing again"));
            QVERIFY(inhibitor.isInhibited());
            QTRY_VERIFY(inhibitor.isGranted());
            QCOMPARE(screenSaver->reasons, QStringList{QStringLiteral("Washing")});
            QCOMPARE(screenSaver->applications,
                     QStringList{QGuiApplication::applicationDisplayName()});

            inhibitor.Release();
            inhibitor.Release();
            QVERIFY(!inhibitor.isInhibited());
            QVERIFY(!inhibitor.isGranted());
            QTRY_COMPARE(screenSaver->uninhibited, QList<uint>{4242});

            // A second request also shows that no second UnInhibit was sent before it.
            inhibitor.Inhibit(QStringLiteral("Washing"));
            QTRY_VERIFY(inhibitor.isGranted());
            QCOMPARE(screenSaver->reasons.size(), 2);
            QCOMPARE(screenSaver->uninhibited, QList<uint>{4242});
        }
        QTRY_COMPARE(screenSaver->uninhibited, (QList<uint>{4242, 4243}));
    }

    // What happens between the request and the desktop's answer decides what the answer does.
    void answerArrivingLate_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("kept");
        QTest::newRow("released: given back on arrival") << QStringLiteral("release") << false;
        QTest::newRow("released and asked again: kept")
            << QStringLiteral("release inhibit") << true;
        QTest::newRow("destroyed: given back on arrival") << QStringLiteral("destroy") << false;
    }
    void answerArrivingLate()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, kept);
        QVERIFY(OfferScreenSaver(QStringLiteral("/org/freedesktop/ScreenSaver")));
        screenSaver->holdReplies = true;
        auto inhibitor = std::make_unique<ScreenSaverInhibitor>();
        inhibitor->Inhibit(QStringLiteral("Washing"));
        QTRY_COMPARE(screenSaver->held.size(), 1);
        for (const QString &step : meanwhile.split(QLatin1Char(' '))) {
            if (step == QLatin1String("release"))
                inhibitor->Release();
            else if (step == QLatin1String("inhibit"))
                inhibitor->Inhibit(QStringLiteral("Washing"));
            else
                inhibitor.reset();
        }
        screenSaver->ReplyToHeld();
        if (kept) {
            QTRY_VERIFY(inhibitor->isGranted());
            QVERIFY(screenSaver->uninhibited.isEmpty());
            QCOMPARE(screenSaver->reasons.size(), 1);
            inhibitor.reset();
        }
        QTRY_COMPARE(screenSaver->uninhibited, QList<uint>{4242});
        QVERIFY(!inhibitor || !inhibitor->isGranted());
    }

    void portalWhereTheScreenSaverIsMissing()
    {
        QVERIFY(OfferPortal());
        {
            ScreenSaverInhibitor inhibitor;
            inhibitor.Inhibit(QStringLiteral("Washing"));
            QTRY_VERIFY(inhibitor.isGranted());
            QCOMPARE(portal->windows, QStringList{QString()});
            QCOMPARE(portal->flags, QList<uint>{8});
            QCOMPARE(portal->options.size(), 1);
            QCOMPARE(portal->options[0].value(QStringLiteral("reason")).toString(),
                     QStringLiteral("Washing"));

            inhibitor.Release();
            QTRY_COMPARE(request->closed, 1);
            inhibitor.Inhibit(QStringLiteral("Washing"));
            QTRY_VERIFY(inhibitor.isGranted());
        }
        QTRY_COMPARE(request->closed, 2);
    }

    void noServiceIsNoErrorAndNoHang()
    {
        ScreenSaverInhibitor inhibitor;
        inhibitor.Inhibit(QStringLiteral("Washing"));
        SettleBus(4); // screen saver, its older path, the portal: each refused
        QVERIFY(inhibitor.isInhibited());
        QVERIFY(!inhibitor.isGranted());
        inhibitor.Release();
        QVERIFY(!inhibitor.isInhibited());

        // Nothing is left waiting: a service that appears later is asked at the next wash.
        QVERIFY(OfferScreenSaver(QStringLiteral("/org/freedesktop/ScreenSaver")));
        inhibitor.Inhibit(QStringLiteral("Washing"));
        QTRY_VERIFY(inhibitor.isGranted());
        QCOMPARE(screenSaver->reasons.size(), 1);
    }
};

int main(int argc, char *argv[])
{
    PrivateBus bus;
    const bool haveBus = bus.Start();
    if (haveBus)
        setenv("DBUS_SESSION_BUS_ADDRESS", bus.address.constData(), 1);
    int result = 0;
    {
        QGuiApplication app(argc, argv);
        TestScreenSaverInhibitor test(haveBus);
        result = QTest::qExec(&test, argc, argv);
    }
    bus.Stop();
    return result;
}

#include "test_screensaverinhibitor.moc"
