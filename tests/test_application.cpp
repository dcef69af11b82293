// The application object: an error that escapes an event handler is shown in the error box and
// the program goes on.

#include "mainformfixture.h"

#include <QDir>
#include <QTemporaryDir>

#include "app/gswapplication.h"
#include "app/specialfolder.h"
#include "app/terminationsignals.h"

#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

/// Throws from its event handler what it is told to.
class Thrower : public QObject {
public:
    std::function<void()> onEvent;
    int events = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++events;
        if (onEvent)
            onEvent();
        return true;
    }
};

/// `work()` as a user without privileges: as nobody in a child process when run as root, whom
/// permissions do not stop; else in this process.
QByteArray AsUnprivileged(const std::function<QByteArray()> &work)
{
    if (::geteuid() != 0)
        return work();
    int ends[2];
    if (::pipe(ends) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t nogroup = 65534;
        const bool dropped = ::setgroups(1, &nogroup) == 0 &&
                             ::setresgid(nogroup, nogroup, nogroup) == 0 &&
                             ::setresuid(65534, 65534, 65534) == 0;
        const QByteArray result = dropped ? work() : QByteArray("no unprivileged user");
        [[maybe_unused]] const ssize_t n =
            ::write(ends[1], result.constData(), static_cast<size_t>(result.size()));
        ::_exit(0);
    }
    ::close(ends[1]);
    QByteArray result;
    char buffer[512];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, n);
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

} // namespace

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void errorsFromHandlersAreShownAndTheLoopGoesOn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("a failed save") << "save"
                                       << "Stream write error";
        QTest::newRow("any other error") << "std"
                                         << "Something went wrong";
    }

    void errorsFromHandlersAreShownAndTheLoopGoesOn()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        Thrower thrower;
        thrower.onEvent = [&] {
            if (kind == "save")
                throw SettingsFileError(text);
            throw std::runtime_error(text.toStdString());
        };
        const auto box = AnswerNextBox(QMessageBox::Ok);
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_VERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Glowsweep Wizard"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->text, text);
        QCOMPARE(box->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        // Dispatching goes on.
        thrower.onEvent = nullptr;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(thrower.events, 2);
    }

    void programFolderIsEverythingUpToTheLastSeparator_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("folder");
        QTest::newRow("installed")
            << QByteArray("/usr/bin/glowsweep-wizard") << QByteArray("/usr/bin/");
        QTest::newRow("blank in a folder name")
            << QByteArray("/opt/Glowsweep Wizard/glowsweep-wizard")
            << QByteArray("/opt/Glowsweep Wizard/");
        QTest::newRow("at the root") << QByteArray("/glowsweep-wizard") << QByteArray("/");
        QTest::newRow("no folder at all") << QByteArray("glowsweep-wizard") << QByteArray();
    }

    void programFolderIsEverythingUpToTheLastSeparator()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, folder);
        QCOMPARE(ExtractFolder(path), folder);
    }

    // The shared folder is the settings folder whenever it is a folder, whether or not this user
    // may create files in it; the program's own folder only when it neither is one nor can be
    // made.
    void sharedFolderWhenItExistsOrCanBeMade_data()
    {
        QTest::addColumn<QString>("subfolder"); // what stands at root/Glowsweep Wizard
        QTest::addColumn<int>("rootMode");
        QTest::addColumn<bool>("shared");
        QTest::newRow("a folder this user may not write") << "locked folder" << 0755 << true;
        QTest::newRow("a folder everyone writes") << "open folder" << 0755 << true;
        QTest::newRow("missing, can be made") << "missing" << 0777 << true;
        QTest::newRow("missing, cannot be made") << "missing" << 0555 << false;
        QTest::newRow("a file in its place") << "file" << 0777 << false;
        QTest::newRow("a dangling link in its place") << "dangling link" << 0777 << false;
    }

    void sharedFolderWhenItExistsOrCanBeMade()
    {
        QFETCH(QString, subfolder);
        QFETCH(int, rootMode);
        QFETCH(bool, shared);
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + "/lib";
        const QByteArray own = root + "/Glowsweep Wizard";
        QVERIFY(QDir().mkpath(QString::fromLocal8Bit(root)));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
        if (subfolder.endsWith("folder")) {
            QVERIFY(QDir().mkdir(QString::fromLocal8Bit(own)));
            ::chmod(own.constData(), subfolder == "open folder" ? 0777 : 0555);
        } else if (subfolder == "file") {
            QFile file(QString::fromLocal8Bit(own));
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (subfolder == "dangling link") {
            QVERIFY(::symlink("nowhere", own.constData()) == 0);
        }
        ::chmod(root.constData(), static_cast<mode_t>(rootMode));
        QCOMPARE(AsUnprivileged([&] { return SharedDataRoot(root); }),
                 shared ? root : QByteArray());
        ::chmod(root.constData(), 0755);
    }

    void terminationSignalsReachTheEventLoopOnce_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM: logout, systemctl, kill") << int(SIGTERM);
        QTest::newRow("SIGINT: Ctrl+C") << int(SIGINT);
        QTest::newRow("SIGHUP: the terminal goes") << int(SIGHUP);
    }

    void terminationSignalsReachTheEventLoopOnce()
    {
        QFETCH(int, number);
        {
            TerminationSignals termination;
            QSignalSpy spy(&termination, &TerminationSignals::terminationRequested);
            QCOMPARE(::raise(number), 0); // the process survives: the handler only takes note
            QTRY_COMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), number);
            QCOMPARE(termination.Received(), number);
            // A second signal would end the program at once, should the first one's clean-up
            // hang.
            struct sigaction now {};
            ::sigaction(number, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_DFL);
        }
        // A signal ignored at start (nohup, a background job) stays ignored.
        ::signal(number, SIG_IGN);
        {
            TerminationSignals termination;
            struct sigaction now {};
            ::sigaction(number, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_IGN);
        }
        ::signal(number, SIG_DFL);
    }

    void applicationIsTitled()
    {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Glowsweep Wizard"));
    }
};

int main(int argc, char **argv)
{
    TGswApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_application.moc"
