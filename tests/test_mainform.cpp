// The main window on the offscreen platform: start-up, layout, the monitor list, the settings
// controls and their gate, the preview tick, Help, and closing with its save. Runs once with
// one simulated monitor and once with three (see tests/CMakeLists.txt).

#include "mainformfixture.h"

#include "app/version.h"
#include "settings/settingsio.h"
#include "ui/aboutunit.h"
#include "ui/accessibility.h"
#include "ui/cursors.h"
#include "ui/imagewidget.h"
#include "ui/updown.h"
#include "ui/webaddresses.h"
#include "wash/renderbars.h"

#include <QAccessible>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <optional>
#include <unistd.h>

/// Records the addresses handed to the desktop instead of opening them.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

/// Runs `seen` whenever `watched` receives an event of `type`, before it is handled.
class TEventWatch : public QObject {
public:
    TEventWatch(QObject *watched, QEvent::Type type, std::function<void()> seen)
        : Type(type)
        , Seen(std::move(seen))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == Type)
            Seen();
        return false;
    }

private:
    QEvent::Type Type;
    std::function<void()> Seen;
};

class TestMainForm : public QObject {
    Q_OBJECT

    UrlRecorder urls;

    static QString PixelsOf(const QScreen *s)
    {
        const QSize size = (QSizeF(s->geometry().size()) * s->devicePixelRatio()).toSize();
        return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    }

private slots:
    void initTestCase()
    {
        for (const char *scheme : {"file", "https", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &urls, "open");
    }

    void cleanup() { urls.opened.clear(); }

    // -----------------------------------------------------------------------------------
    // Start-up

    void startUpMakesOneFreshRecordPerMonitor()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        const QList<QScreen *> screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), GSW_MONITORS);
        QCOMPARE(MonitorSettingsList->size(), screens.size());
        QCOMPARE(form.MonitorList->count(), screens.size());
        for (int i = 0; i < screens.size(); ++i) {
            QCOMPARE((*MonitorSettingsList)[i], MonitorSettings::ForMonitor(i));
            QCOMPARE(form.MonitorList->item(i)->text(),
                     QStringLiteral("Monitor %1|%2").arg(i + 1).arg(PixelsOf(screens[i])));
        }
        QCOMPARE(form.MonitorList->currentRow(), 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrion's Glowsweep Wizard v1.00"));
        QCOMPARE(form.LabelMonitor->text(),
                 QStringLiteral("Monitor 1\n%1").arg(PixelsOf(screens[0])));
        QVERIFY(StartupPending);
        QVERIFY(!WashActive);
        QCOMPARE(FrameCounter, 0);
        QVERIFY(WashWindowList && WashWindowList->isEmpty());
        QCOMPARE(ApplicationCursor(HandCursor).shape(), Qt::PointingHandCursor);
    }

    void foldersComeFromTheProgramAndTheSharedFolder_data()
    {
        QTest::addColumn<bool>("withSpecialFolder");
        QTest::addColumn<QByteArray>("programFolder");
        QTest::newRow("shared folder given") << true << QByteArray("bin");
        QTest::newRow("no shared folder: the program's folder") << false << QByteArray("bin");
        QTest::newRow("the program's folder not UTF-8") << false << QByteArray("caf\xE9");
    }

    void foldersComeFromTheProgramAndTheSharedFolder()
    {
        QFETCH(bool, withSpecialFolder);
        QFETCH(QByteArray, programFolder);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create(withSpecialFolder, programFolder);
        const QByteArray program = QFile::encodeName(fx.dir.path()) + '/' + programFolder + '/';
        QCOMPARE(ProgramFolder, program);
        QCOMPARE(ConfigFolder, withSpecialFolder ? fx.Shared() + "/Glowsweep Wizard/" : program);
        // The file goes where the folder is, byte for byte.
        form.SaveSettings();
        QVERIFY(::access(ConfigFolder + SettingsFileName, F_OK) == 0);
    }

    // -----------------------------------------------------------------------------------
    // The gate before the first activation

    void controlsWriteNothingBeforeTheFirstActivation()
    {
        MainFormFixture fx;
        fx.WriteSettings(
            EncodeSettingsFile({MonitorSettings{1, 5, 3, 1, 4}, MonitorSettings{2, 7, 2, 0, 0},
                                MonitorSettings{3, 9, 9, 4, 1}},
                               1));
        TGswMainForm &form = fx.Create();
        QCOMPARE(form.ActivateCB->currentIndex(), 1);
        // Before the first activation the controls still show the start-up values...
        QCOMPARE(form.ScanRateCB->currentIndex(), 2);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("0"));
        // ...and nothing the user does reaches a record.
        form.ScanRateCB->setCurrentIndex(0);
        emit form.ScanRateCB->activated(0);
        form.VUpDown->Step(+1);
        QCOMPARE((*MonitorSettingsList)[0], (MonitorSettings{1, 5, 3, 1, 4}));

        fx.Activate();
        QVERIFY(!StartupPending);
        QCOMPARE(form.ScanRateCB->currentIndex(), 4);
        QCOMPARE(form.BarSizeCB->currentIndex(), 1);
        QCOMPARE(form.HBarEdit->text(), QStringLiteral("3"));
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("5"));
        // From now on the controls write into the selected record.
        form.VUpDown->Step(+1);
        QCOMPARE((*MonitorSettingsList)[0].VBars, 6);
        // A later activation changes nothing.
        form.VBarEdit->setText(QStringLiteral("2"));
        fx.Activate();
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("2"));
    }

    void outOfRangeValuesAreShownAsTheyAre()
    {
        MainFormFixture fx;
        fx.WriteSettings("AddMonitor(VBars=35,HBars=-4)\r\nConfig(Activate=7)\r\n");
        TGswMainForm &form = fx.Create();
        fx.Activate();
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("35"));
        QCOMPARE(form.HBarEdit->text(), QStringLiteral("-4"));
        QCOMPARE((*MonitorSettingsList)[0].VBars, 35);
        QCOMPARE(form.ActivateCB->currentIndex(), -1);
        // One step brings a value from beyond the range to its nearest end.
        form.VUpDown->Step(-1);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("20"));
        form.HUpDown->Step(-1);
        QCOMPARE(form.HBarEdit->text(), QStringLiteral("0"));
    }

    // -----------------------------------------------------------------------------------
    // Layout

    void layoutPlacesEveryComponent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("bounds");
        QTest::newRow("PreviewGB") << "PreviewGB" << QRect(10, 6, 255, 395);
        QTest::newRow("MonitorsGB") << "MonitorsGB" << QRect(274, 6, 180, 395);
        QTest::newRow("picture centred in its group")
            << "MonitorImageSrcWide" << QRect(21, 32, 212, 150);
        QTest::newRow("preview on the picture's screen")
            << "MonitorImage" << QRect(31, 42, 192, 108);
        QTest::newRow("caption under the picture") << "LabelMonitor" << QRect(21, 186, 212, 30);
        QTest::newRow("thumbnail holder") << "MonitorTNImageWide" << QRect(73, 107, 106, 75);
        QTest::newRow("ScanRateCB") << "ScanRateCB" << QRect(138, 262, 80, 21);
        QTest::newRow("BarSizeCB") << "BarSizeCB" << QRect(138, 294, 80, 21);
        QTest::newRow("VBarEdit") << "VBarEdit" << QRect(138, 326, 80, 21);
        QTest::newRow("HBarEdit") << "HBarEdit" << QRect(138, 358, 80, 21);
        QTest::newRow("VUpDown at the edit's right edge") << "VUpDown" << QRect(218, 326, 20, 21);
        QTest::newRow("HUpDown at the edit's right edge") << "HUpDown" << QRect(218, 358, 20, 21);
        QTest::newRow("ApplyButton") << "ApplyButton" << QRect(10, 344, 160, 40);
        QTest::newRow("HelpButton") << "HelpButton" << QRect(10, 20, 78, 23);
        QTest::newRow("AboutButton") << "AboutButton" << QRect(92, 20, 78, 23);
        QTest::newRow("MonitorList") << "MonitorList" << QRect(10, 48, 160, 249);
        QTest::newRow("ActivateCB") << "ActivateCB" << QRect(10, 318, 160, 21);
    }

    void layoutPlacesEveryComponent()
    {
        QFETCH(QString, name);
        QFETCH(QRect, bounds);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        const QMap<QString, QWidget *> components{{"PreviewGB", form.PreviewGB},
                                                  {"MonitorsGB", form.MonitorsGB},
                                                  {"MonitorImageSrcWide", form.MonitorImageSrcWide},
                                                  {"MonitorImage", form.MonitorImage},
                                                  {"LabelMonitor", form.LabelMonitor},
                                                  {"MonitorTNImageWide", form.MonitorTNImageWide},
                                                  {"ScanRateCB", form.ScanRateCB},
                                                  {"BarSizeCB", form.BarSizeCB},
                                                  {"VBarEdit", form.VBarEdit},
                                                  {"HBarEdit", form.HBarEdit},
                                                  {"VUpDown", form.VUpDown},
                                                  {"HUpDown", form.HUpDown},
                                                  {"ApplyButton", form.ApplyButton},
                                                  {"HelpButton", form.HelpButton},
                                                  {"AboutButton", form.AboutButton},
                                                  {"MonitorList", form.MonitorList},
                                                  {"ActivateCB", form.ActivateCB}};
        QCOMPARE(components.value(name)->geometry(), bounds);
    }

    void windowTextsAndFixedSize()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        QCOMPARE(form.size(), QSize(463, 410));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.pos(), QPoint(253, 161));
        QCOMPARE(form.PreviewGB->title(), QStringLiteral(" Selected Monitor : "));
        QCOMPARE(form.MonitorsGB->title(), QStringLiteral(" Available Monitors : "));
        QCOMPARE(form.ApplyButton->text(), QStringLiteral("Activate Glowsweep"));
        QVERIFY(form.ApplyButton->font().bold());
        QVERIFY(!form.HelpButton->font().bold());
        QCOMPARE(form.font().pixelSize(), 11);
        QCOMPARE(form.LabelScanRate->text(), QStringLiteral("Glowsweep scan rate"));
        QCOMPARE(form.LabelBarSize->text(), QStringLiteral("Glowsweep bar size"));
        QCOMPARE(form.LabelVBars->text(), QStringLiteral("Vertical bar(s)"));
        QCOMPARE(form.LabelHBars->text(), QStringLiteral("Horizontal bar(s)"));
        QCOMPARE(form.LabelActivate->text(), QStringLiteral("Activate on :"));
        QCOMPARE(form.LabelScanRate->pos(), QPoint(18, 266));
        QCOMPARE(form.LabelActivate->pos(), QPoint(12, 304));
        const auto items = [](const QComboBox *c) {
            QStringList l;
            for (int i = 0; i < c->count(); ++i)
                l << c->itemText(i);
            return l;
        };
        QCOMPARE(items(form.ScanRateCB),
                 (QStringList{"Very Slow", "Slow", "Normal", "Fast", "Very Fast"}));
        QCOMPARE(items(form.BarSizeCB),
                 (QStringList{"Very Small", "Small", "Normal", "Large", "Very Large"}));
        QCOMPARE(items(form.ActivateCB), (QStringList{"Selected Monitor", "All Monitors"}));
        QVERIFY(form.VBarEdit->isReadOnly() && form.HBarEdit->isReadOnly());
        QVERIFY(!form.MonitorTNImageWide->isVisibleTo(&form));
        // Keyboard order: the list, "Activate on" and its button, the four settings, then Help
        // and About, which stand above the list, and round to the list again.
        const auto nextTabStop = [&form](QWidget *w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->window() != &form ||
                   w->focusProxy());
            return w;
        };
        QWidget *w = form.MonitorList;
        for (QWidget *expected :
             {static_cast<QWidget *>(form.ActivateCB), static_cast<QWidget *>(form.ApplyButton),
              static_cast<QWidget *>(form.ScanRateCB), static_cast<QWidget *>(form.BarSizeCB),
              static_cast<QWidget *>(form.VBarEdit), static_cast<QWidget *>(form.HBarEdit),
              static_cast<QWidget *>(form.HelpButton), static_cast<QWidget *>(form.AboutButton),
              static_cast<QWidget *>(form.MonitorList)}) {
            w = nextTabStop(w);
            QCOMPARE(w, expected);
        }
    }

    // -----------------------------------------------------------------------------------
    // What a screen reader finds

    // Each control by its role and its label's words; the drop-down lists with the item shown
    // as their value, which is also their text where Qt's bridge tells no selection; the main
    // window a frame, the maker's notice a link that its action opens.
    void screenReaderFindsRolesNamesAndValues()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        TAboutForm about(&form, form.MonitorImageSrcWide->Picture());
        const struct {
            QObject *object;
            QAccessible::Role role;
            QString name;
            QString value;
        } rows[] = {
            {&form, QAccessible::Window, form.windowTitle(), {}},
            {form.PreviewGB, QAccessible::Grouping, "Selected Monitor", {}},
            {form.MonitorsGB, QAccessible::Grouping, "Available Monitors", {}},
            {form.LabelActivate, QAccessible::StaticText, "Activate on", {}},
            {form.ActivateCB, QAccessible::ComboBox, "Activate on", "Selected Monitor"},
            {form.ScanRateCB, QAccessible::ComboBox, "Glowsweep scan rate", "Normal"},
            {form.LabelVBars, QAccessible::StaticText, "Vertical bars", {}},
            {form.VUpDown, QAccessible::Client, "Vertical bars", {}},
            {form.LabelHBars, QAccessible::StaticText, "Horizontal bars", {}},
            {about.LabelAbout, QAccessible::Link, MakerNotice, {}},
        };
        for (const auto &row : rows) {
            const QAccessibleInterface *found = QAccessible::queryAccessibleInterface(row.object);
            QVERIFY2(found, qPrintable(row.name));
            QCOMPARE(found->role(), row.role);
            QCOMPARE(found->text(QAccessible::Name), row.name);
            if (!row.value.isNull())
                QCOMPARE(found->text(QAccessible::Value), row.value);
        }

        QAccessibleInterface *scanRate = QAccessible::queryAccessibleInterface(form.ScanRateCB);
        QCOMPARE(scanRate->childCount(), 1); // the list of items, as Qt's own has it
        QCOMPARE(scanRate->child(0)->object(), form.ScanRateCB->view());
        form.ScanRateCB->setCurrentIndex(4);
        QCOMPARE(scanRate->text(QAccessible::Value), QStringLiteral("Very Fast"));
        QAccessibleTextInterface *text = scanRate->textInterface();
        QCOMPARE(text != nullptr, QT_VERSION < QT_VERSION_CHECK(6, 5, 0));
        if (text) {
            QCOMPARE(text->text(0, -1), QStringLiteral("Very Fast"));
            QCOMPARE(text->text(5, 99), QStringLiteral("Fast"));
        }

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        // The item shown as the selection; a reader's choice of another is a pick.
        QAccessibleSelectionInterface *selection = scanRate->selectionInterface();
        QVERIFY(selection);
        QCOMPARE(selection->selectedItemCount(), 1);
        QCOMPARE(selection->selectedItem(0)->text(QAccessible::Name), QStringLiteral("Very Fast"));
        QSignalSpy picked(form.ScanRateCB, &QComboBox::activated);
        QVERIFY(!selection->select(scanRate));
        QVERIFY(selection->select(scanRate->child(0)->child(1)));
        QCOMPARE(form.ScanRateCB->currentIndex(), 1);
        QCOMPARE(picked.count(), 1);
#endif

        QAccessibleInterface *notice = QAccessible::queryAccessibleInterface(about.LabelAbout);
        notice->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(urls.opened, QList<QUrl>{MakerHomePageUrl()});
    }

    // The reader hears a window's change of activity as the window's state at that moment:
    // the main window reads as inactive as soon as another window takes the focus from it.
    void mainWindowIsInactiveOnceAnotherWindowHasTheFocus()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&form);
        QVERIFY(window->state().active);
        std::optional<bool> activeAtFocusOut;
        TEventWatch watch(form.windowHandle(), QEvent::FocusOut,
                          [&] { activeAtFocusOut = window->state().active; });
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(activeAtFocusOut, std::optional<bool>(false));
        QVERIFY(!window->state().active);
    }

    void previewSitsOnThePictureBeforeAndAfterCentring()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        // Shown during creation, before the picture was centred; moved at the first activation.
        QCOMPARE(form.MonitorImage->geometry(), QRect(30, 42, 192, 108));
        fx.Activate();
        QCOMPARE(form.MonitorImage->geometry(), QRect(31, 42, 192, 108));
        QCOMPARE(form.MonitorImage->Picture().size(), QSize(192, 108));
        QCOMPARE(form.MonitorImage->Picture().format(), QImage::Format_RGB32);
    }

    // -----------------------------------------------------------------------------------
    // The owner-drawn list

    void itemHeightFollowsFontAndThumbnail()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        QCOMPARE(form.MonitorListMeasureItem(0), 113);
        QCOMPARE(form.MonitorList->visualItemRect(form.MonitorList->item(0)).height(), 113);
    }

    void drawItemCentresThumbnailAndLines_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("offset");
        QTest::newRow("156 wide: thumbnail at +25") << 156 << 25;
        QTest::newRow("139 wide, beside a scroll bar: +16") << 139 << 16;
        QTest::newRow("100 wide: negative offset rounds toward zero") << 100 << -3;
    }

    void drawItemCentresThumbnailAndLines()
    {
        QFETCH(int, width);
        QFETCH(int, offset);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        const QColor fill(10, 20, 30);
        const QRect item(4, 7, width, 113);

        QImage drawn(200, 130, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        {
            QPainter p(&drawn);
            form.MonitorListDrawItem(p, 0, item, fill, Qt::yellow);
        }
        QImage expected(200, 130, QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter p(&expected);
            p.fillRect(item, fill);
            p.drawImage(item.left() + offset, item.top() + 6, form.MonitorTNImageWide->Picture());
        }
        // The thumbnail's rows are the same pixels as the thumbnail drawn at the offset.
        const QRect thumbRows(item.left(), item.top() + 6, width, 75);
        QCOMPARE(drawn.copy(thumbRows), expected.copy(thumbRows));
        // Two text lines below it, starting at top + 83 and top + 96.
        const auto rowHasText = [&](int y) {
            for (int x = item.left(); x < item.left() + width; ++x)
                if (drawn.pixelColor(x, y) != fill)
                    return true;
            return false;
        };
        bool line1 = false, line2 = false;
        for (int y = item.top() + 83; y < item.top() + 95; ++y)
            line1 = line1 || rowHasText(y);
        for (int y = item.top() + 96; y < item.top() + 109; ++y)
            line2 = line2 || rowHasText(y);
        QVERIFY(line1 && line2);
        QVERIFY(!rowHasText(item.top() + 81) && !rowHasText(item.top() + 2));
        // An item narrower than the thumbnail lets it stand out on both sides.
        if (offset >= 0) {
            QCOMPARE(drawn.pixelColor(item.left() - 1, item.top() + 50), QColor(Qt::white));
        }
    }

    // -----------------------------------------------------------------------------------
    // Selecting and editing

    void editsWriteOnlyTheSelectedRecord()
    {
        if (QGuiApplication::screens().size() < 2)
            QSKIP("needs two monitors");
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        fx.Activate();
        form.MonitorList->setFocus();
        QTest::keyClick(form.MonitorList, Qt::Key_Down); // the user selects monitor 2
        QCOMPARE(form.MonitorList->currentRow(), 1);
        const QScreen *second = QGuiApplication::screens()[1];
        QCOMPARE(form.LabelMonitor->text(), QStringLiteral("Monitor 2\n%1").arg(PixelsOf(second)));

        QTest::mouseClick(form.VUpDown->findChildren<QToolButton *>().value(0), Qt::LeftButton);
        QTest::mouseClick(form.VUpDown->findChildren<QToolButton *>().value(0), Qt::LeftButton);
        form.HBarEdit->setFocus();
        QTest::keyClick(form.HBarEdit, Qt::Key_Up); // Up in the edit steps too
        form.BarSizeCB->setCurrentIndex(4);
        emit form.BarSizeCB->activated(4);
        QCOMPARE((*MonitorSettingsList)[1], (MonitorSettings{2, 2, 2, 4, 2}));
        QCOMPARE((*MonitorSettingsList)[0], MonitorSettings::ForMonitor(0));

        form.MonitorList->setFocus();
        QTest::keyClick(form.MonitorList, Qt::Key_Up);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("0"));
        QCOMPARE(form.BarSizeCB->currentIndex(), 2);
        QTest::keyClick(form.MonitorList, Qt::Key_Down);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("2"));
        QCOMPARE(form.HBarEdit->text(), QStringLiteral("2"));
        QCOMPARE(form.BarSizeCB->currentIndex(), 4);
    }

    // The caption shows the monitor's size at each selection, also when the click lands on the
    // item that is already selected.
    void clickOnAMonitorShowsItAgain_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("the selected item") << 0;
        if (QGuiApplication::screens().size() > 1)
            QTest::newRow("another item") << 1;
    }

    void clickOnAMonitorShowsItAgain()
    {
        QFETCH(int, row);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        fx.Activate();
        form.LabelMonitor->setText(QStringLiteral("stale"));
        const QRect item = form.MonitorList->visualItemRect(form.MonitorList->item(row));
        QTest::mouseClick(form.MonitorList->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(form.MonitorList->currentRow(), row);
        QCOMPARE(form.LabelMonitor->text(), QStringLiteral("Monitor %1\n%2")
                                                .arg(row + 1)
                                                .arg(PixelsOf(QGuiApplication::screens()[row])));
    }

    void upDownStaysWithinItsRange()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        form.VUpDown->Step(-1);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("0"));
        for (int i = 0; i < 25; ++i)
            form.VUpDown->Step(+1);
        QCOMPARE(form.VBarEdit->text(), QStringLiteral("20"));
        QCOMPARE((*MonitorSettingsList)[0].VBars, 20);
    }

    void editTextThatIsNoNumberTakesTheFallbacks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "ab";
        QTest::newRow("decimal point") << "1.5";
        QTest::newRow("beyond 32 bits") << "99999999999";
    }

    void editTextThatIsNoNumberTakesTheFallbacks()
    {
        QFETCH(QString, text);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        form.VBarEdit->setText(text);
        form.HBarEdit->setText(text);
        QCOMPARE((*MonitorSettingsList)[0].VBars, 1);
        QCOMPARE((*MonitorSettingsList)[0].HBars, 0);
    }

    void pickingWithNoSelectionChangesNoRecord()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        const QList<MonitorSettings> before = *MonitorSettingsList;
        form.MonitorList->setCurrentRow(-1);
        form.ScanRateCB->setCurrentIndex(4);
        emit form.ScanRateCB->activated(4);
        form.BarSizeCB->setCurrentIndex(0);
        emit form.BarSizeCB->activated(0);
        form.VBarEdit->setText(QStringLiteral("9"));
        QCOMPARE(*MonitorSettingsList, before);
    }

    void choosingFromProgramCodeWritesNothing()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        form.ScanRateCB->setCurrentIndex(0); // not a user's pick: no change handler
        QCOMPARE((*MonitorSettingsList)[0].ScanRate, 2);
    }

    // -----------------------------------------------------------------------------------
    // The preview tick

    void tickPaintsThePreviewFromTheSelectedRecord()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        fx.Activate();
        (*MonitorSettingsList)[0] = MonitorSettings{1, 3, 2, 1, 4};
        FrameCounter = 41;
        form.WashTimerTimer();
        QCOMPARE(FrameCounter, 42);
        QImage expected(192, 108, QImage::Format_RGB32);
        RenderBars(expected, 2, 3, 4, 1, 41);
        QCOMPARE(form.MonitorImage->Picture(), expected);

        // No selection: nothing painted, the counter still advances.
        form.MonitorList->setCurrentRow(-1);
        const QImage before = form.MonitorImage->Picture();
        form.WashTimerTimer();
        QCOMPARE(FrameCounter, 43);
        QCOMPARE(form.MonitorImage->Picture(), before);
    }

    void washTimerTicksEvery250ms()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        QVERIFY(form.WashTimer->isActive());
        QCOMPARE(form.WashTimer->interval(), 250);
    }

    // -----------------------------------------------------------------------------------
    // Help and About

    void helpAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("opens");
        QTest::newRow("OK opens the help page") << int(QMessageBox::Ok) << true;
        QTest::newRow("Cancel opens nothing") << int(QMessageBox::Cancel) << false;
        QTest::newRow("closing the box opens nothing") << int(QMessageBox::NoButton) << false;
    }

    void helpAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(bool, opens);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        const auto box = AnswerNextBox(static_cast<QMessageBox::StandardButton>(answer));
        QTest::mouseClick(form.HelpButton, Qt::LeftButton);
        QVERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Confirm"));
        QCOMPARE(box->text,
                 QStringLiteral("The online help page will now open in your default web browser."));
        QCOMPARE(box->icon, QMessageBox::Question);
        QCOMPARE(box->defaultButton, QMessageBox::Ok);
        QCOMPARE(box->escapeButton, QMessageBox::Cancel);
        QCOMPARE(urls.opened, opens ? QList<QUrl>{HelpPageUrl()} : QList<QUrl>{});
    }

    void helpPageShipsWithTheProgram()
    {
        const QUrl help = HelpPageUrl();
        QVERIFY(help.isLocalFile());
        QVERIFY2(QFileInfo::exists(help.toLocalFile()), qPrintable(help.toLocalFile()));
    }

    void aboutBoxLinks()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        TAboutForm about(&form, form.MonitorImageSrcWide->Picture());
        QCOMPARE(about.size(), QSize(292, 310));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.LogoImage->geometry(), QRect(40, 20, 212, 150));
        QCOMPARE(about.LabelAbout->pos(), QPoint(40, 184));
        QVERIFY(about.rect().contains(about.LabelAbout->geometry())); // one line, in the box
        QCOMPARE(about.HomePageButton->geometry(), QRect(20, 268, 120, 25));
        QCOMPARE(about.HomePageButton->text(), QStringLiteral("Visit our Home Page"));
        QCOMPARE(about.LabelAbout->focusPolicy(), Qt::TabFocus);
        QCOMPARE(about.HomePageButton->focusPolicy(), Qt::TabFocus);
        QCOMPARE(about.LogoImage->Picture(), form.MonitorImageSrcWide->Picture());
        QCOMPARE(about.LogoImage->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(about.LabelAbout->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(about.HomePageButton->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(about.LabelAbout->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(about.LabelAbout->font().underline());

        QTest::mouseClick(about.HomePageButton, Qt::LeftButton);
        QTest::mouseClick(about.LogoImage, Qt::LeftButton);
        QTest::mouseClick(about.LabelAbout, Qt::LeftButton);
        QTest::keyClick(about.HomePageButton, Qt::Key_Return);
        QTest::keyClick(about.LabelAbout, Qt::Key_Enter);
        QCOMPARE(urls.opened,
                 (QList<QUrl>{ProductHomePageUrl(), ProductHomePageUrl(), MakerHomePageUrl(),
                              ProductHomePageUrl(), MakerHomePageUrl()}));
    }

    void aboutNoticeOpensOnlyWhenReleasedOverIt_data()
    {
        QTest::addColumn<QPoint>("releaseAt"); // relative to the notice's centre
        QTest::addColumn<bool>("opens");
        QTest::newRow("released over it") << QPoint(0, 0) << true;
        QTest::newRow("released below it") << QPoint(0, 40) << false;
        QTest::newRow("released left of it") << QPoint(-200, 0) << false;
    }

    void aboutNoticeOpensOnlyWhenReleasedOverIt()
    {
        QFETCH(QPoint, releaseAt);
        QFETCH(bool, opens);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        TAboutForm about(&form, form.MonitorImageSrcWide->Picture());
        const QPoint centre = about.LabelAbout->rect().center();
        QTest::mousePress(about.LabelAbout, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(about.LabelAbout, Qt::LeftButton, {}, centre + releaseAt);
        QCOMPARE(urls.opened, opens ? QList<QUrl>{MakerHomePageUrl()} : QList<QUrl>{});
    }

    // With no browser to hand an address to, the user gets the address to open by hand.
    void noBrowserShowsTheAddress_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("address");
        QTest::newRow("the help page: its path")
            << HelpPageUrl() << QDir::toNativeSeparators(HelpPageUrl().toLocalFile());
        QTest::newRow("a home page: its address")
            << ProductHomePageUrl() << ProductHomePageUrl().toString();
    }

    void noBrowserShowsTheAddress()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, address);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        QDesktopServices::unsetUrlHandler(url.scheme()); // as on a desktop with no browser
        const auto box = AnswerNextBox(QMessageBox::Ok);
        OpenWebAddress(url, &form);
        QDesktopServices::setUrlHandler(url.scheme(), &urls, "open");
        QVERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Information"));
        QCOMPARE(box->icon, QMessageBox::Information);
        QVERIFY2(box->text.endsWith(QStringLiteral("\n\n") + address), qPrintable(box->text));
    }

    void aboutBoxClosesOnEscAndLeavesTheMainWindowAlone()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        TAboutForm about(&form, form.MonitorImageSrcWide->Picture());
        AboutForm = &about;
        bool shownCentred = false;
        QTimer::singleShot(0, &about, [&] {
            shownCentred = about.isVisible() &&
                           (about.frameGeometry().center() - form.frameGeometry().center())
                                   .manhattanLength() <= 2;
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        form.AboutButtonClick(); // modal: returns when the box is closed
        AboutForm = nullptr;
        QVERIFY(shownCentred);
        QVERIFY(!about.isVisible());
        QVERIFY(form.isVisible());
    }

    // -----------------------------------------------------------------------------------
    // Closing and its save

    void escWhileIdleClosesAndSaves()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        fx.Activate();
        form.ActivateCB->setCurrentIndex(1);
        form.VUpDown->Step(+1);
        form.ActivateCB->setFocus();
        QTest::keyClick(form.ActivateCB, Qt::Key_Escape); // the window sees the key first
        QVERIFY(!form.isVisible());
        QFile f(fx.SettingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<MonitorSettings> expected = *MonitorSettingsList;
        QCOMPARE(f.readAll(), EncodeSettingsFile(expected, 1));
        QCOMPARE(expected[0].VBars, 1);
    }

    void otherKeysDoNothing()
    {
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (Qt::Key key : {Qt::Key_Enter, Qt::Key_Space, Qt::Key_Q, Qt::Key_F1})
            QTest::keyClick(form.windowHandle(), key);
        QVERIFY(form.isVisible());
    }

    void failedSaveKeepsTheWindowOpenAndALaterCloseTriesAgain()
    {
        MainFormFixture fx;
        // The shared folder's path runs through a file: the settings folder cannot be made.
        QFile blocker(fx.dir.path() + QStringLiteral("/shared"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TGswMainForm &form = fx.Create();
        form.show();
        const auto box = AnswerNextBox(QMessageBox::Ok);
        QVERIFY(!form.close());
        QVERIFY(box->seen);
        QVERIFY(form.isVisible());
        QCOMPARE(box->title, QStringLiteral("Glowsweep Wizard"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        const QString path = fx.SettingsPath();
        QVERIFY2(box->text.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)),
                 qPrintable(box->text));
        QVERIFY(box->text.size() > QStringLiteral("Cannot create file \"%1\". ").arg(path).size());

        QVERIFY(blocker.remove());
        QVERIFY(form.close());
        QVERIFY(QFileInfo::exists(path));
    }

    // A save that can never succeed must not make the program impossible to close: the second
    // failed close shows the error again and ends it, and the file stays as it was.
    void secondFailedCloseEndsTheProgram()
    {
        MainFormFixture fx;
        const QByteArray old = EncodeSettingsFile({MonitorSettings::ForMonitor(0)}, 1);
        fx.WriteSettings(old);
        TGswMainForm &form = fx.Create();
        form.show();
        SetSettingsWriteFault([](qint64) { return true; });
        const auto first = AnswerNextBox(QMessageBox::Ok);
        const bool firstClosed = form.close();
        const auto second = AnswerNextBox(QMessageBox::Ok);
        const bool secondClosed = form.close();
        SetSettingsWriteFault(nullptr);
        QVERIFY(!firstClosed);
        QVERIFY(first->seen);
        QVERIFY(secondClosed);
        QVERIFY(second->seen);
        QCOMPARE(second->text, QStringLiteral("Stream write error"));
        QVERIFY(!form.isVisible());
        QFile f(fx.SettingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }

    // -----------------------------------------------------------------------------------
    // Moving the window by its background

    void draggingTheBackgroundMovesTheWindow_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("moves");
        QTest::newRow("a label") << "LabelScanRate" << true;
        QTest::newRow("the preview") << "MonitorImage" << true;
        QTest::newRow("a group box") << "MonitorsGB" << true;
        QTest::newRow("the list selects instead") << "MonitorList" << false;
        QTest::newRow("an edit keeps its own mouse") << "VBarEdit" << false;
    }

    void draggingTheBackgroundMovesTheWindow()
    {
        QFETCH(QString, source);
        QFETCH(bool, moves);
        MainFormFixture fx;
        TGswMainForm &form = fx.Create();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget *w = source == "LabelScanRate"  ? static_cast<QWidget *>(form.LabelScanRate)
                     : source == "MonitorImage" ? static_cast<QWidget *>(form.MonitorImage)
                     : source == "MonitorsGB"   ? static_cast<QWidget *>(form.MonitorsGB)
                     : source == "MonitorList"  ? form.MonitorList->viewport()
                                                : static_cast<QWidget *>(form.VBarEdit);
        const QPoint start = form.pos();
        const QPoint at(5, 5);
        QTest::mousePress(w, Qt::LeftButton, {}, at);
        QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(40, 30)),
                         QPointF(w->mapToGlobal(at + QPoint(40, 30))), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(w, &move);
        QTest::mouseRelease(w, Qt::LeftButton, {}, at + QPoint(40, 30));
        QCOMPARE(form.pos(), moves ? start + QPoint(40, 30) : start);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
