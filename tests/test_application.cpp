// The application object: an error that escapes an event handler is shown in the error box and
// the program goes on.

#include "mainformfixture.h"

#include "app/gswapplication.h"
#include "app/specialfolder.h"

#include <QTest>
#include <stdexcept>

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
