// A desktop that reports no monitor: the main window still works, nothing is selected, and
// every handler that needs a monitor does nothing.

#include "mainformfixture.h"

#include "ui/imagewidget.h"
#include "ui/updown.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

class TestNoMonitor : public QObject {
    Q_OBJECT

private slots:
    void theWindowWorksWithoutAMonitor()
    {
        QCOMPARE(QGuiApplication::screens().size(), 0);
        MainFormFixture fx;
        fx.WriteSettings("AddMonitor(VBars=3)\r\nConfig(Activate=1)\r\n");
        TGswMainForm &form = fx.Create();
        fx.Activate();
        QVERIFY(MonitorSettingsList->isEmpty());
        QCOMPARE(form.MonitorList->count(), 0);
        QCOMPARE(form.MonitorList->currentRow(), -1);
        QCOMPARE(form.LabelMonitor->text(), QString());
        QCOMPARE(form.ActivateCB->currentIndex(), 1);

        form.VUpDown->Step(+1);
        form.ScanRateCB->setCurrentIndex(0);
        emit form.ScanRateCB->activated(0);
        const QImage preview = form.MonitorImage->Picture();
        form.WashTimerTimer();
        QCOMPARE(form.MonitorImage->Picture(), preview);
        QCOMPARE(FrameCounter, 1);

        // There is nothing to wash: no window opens. (Qt shows no window at all without a
        // screen, so the wash is started past its confirmation.)
        for (int activate : {0, 1}) {
            form.ActivateCB->setCurrentIndex(activate);
            WashActive = true;
            form.StartWash();
            QVERIFY(WashWindowList->isEmpty());
            form.WashTimerTimer();
            form.StopWash();
            WashActive = false;
        }

        // Closing saves a file with no monitor lines.
        QVERIFY(form.close());
        QFile saved(fx.SettingsPath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), EncodeSettingsFile({}, 1));
    }
};

QTEST_MAIN(TestNoMonitor)
#include "test_nomonitor.moc"
