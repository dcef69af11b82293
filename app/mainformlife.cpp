// The main window's life cycle: what its creation sets up, its first activation, and the
// ways it closes, each of which saves the settings.

#include "ui/gswmainunit.h"

#include "app/commandline.h"
#include "app/gswapplication.h"
#include "app/gswglobals.h"
#include "app/version.h"
#include "app/windowplacement.h"
#include "settings/settingsfile.h"
#include "ui/cursors.h"
#include "ui/imagewidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QSessionManager>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <cstdio>

void TGswMainForm::FormCreate(const TGswFolders &folders)
{
    SetProgramFolders(folders);
    MonitorSettingsList = std::make_unique<QList<MonitorSettings>>();
    WashWindowList = std::make_unique<QList<TWashForm *>>();
    setWindowTitle(QStringLiteral("Kestrion's Glowsweep Wizard v") +
                   QString::fromLatin1(FormatVersion(ProgramVersion)));
    BuildMonitorSettings();
    LoadSettings();
    SetApplicationCursor(HandCursor, QCursor(Qt::PointingHandCursor));

    // The monitor picture centred in its group, the caption under it, the preview bitmap.
    MonitorImageSrcWide->move((PreviewGB->width() - MonitorImageSrcWide->width()) / 2,
                              MonitorImageSrcWide->y());
    LabelMonitor->setGeometry(MonitorImageSrcWide->x(),
                              MonitorImageSrcWide->y() + MonitorImageSrcWide->height() + 4,
                              MonitorImageSrcWide->width(), LabelMonitor->height());
    QImage preview(MonitorImage->width(), MonitorImage->height(), QImage::Format_RGB32);
    preview.fill(Qt::black);
    MonitorImage->SetPicture(preview);

    WashTimer->start();
}

namespace {

/// Positions whose file lines are kept for monitors plugged in later.
constexpr qsizetype RememberedPositions = 32;

MonitorIdentity IdentityOf(const QScreen *screen)
{
    return {screen, screen->name(), screen->manufacturer(), screen->model(),
            screen->serialNumber()};
}

} // namespace

void TGswMainForm::BuildMonitorSettings()
{
    Monitors.clear();
    MonitorIds.clear();
    for (QScreen *screen : QGuiApplication::screens()) {
        Monitors.append(screen);
        MonitorIds.append(IdentityOf(screen));
        WatchMonitor(screen);
    }
    for (int i = 0; i < Monitors.size(); ++i)
        MonitorSettingsList->append(MonitorSettings::ForMonitor(i));
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        WatchMonitor(screen);
        MonitorsChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { MonitorsChanged(); });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { MonitorsChanged(); });
    RefreshMonitorList();
    if (MonitorList->count() > 0) {
        {
            const QSignalBlocker quiet(MonitorList);
            MonitorList->setCurrentRow(0);
        }
        ShowSelectedMonitor();
    }
}

void TGswMainForm::WatchMonitor(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this] { MonitorsChanged(); });
}

void TGswMainForm::MonitorsChanged()
{
    const int row = MonitorList->currentRow();
    const QScreen *selected = row >= 0 && row < Monitors.size() ? Monitors[row].data() : nullptr;
    QList<QPointer<QScreen>> screens;
    QList<MonitorIdentity> now;
    for (QScreen *screen : QGuiApplication::screens()) {
        screens.append(screen);
        now.append(IdentityOf(screen));
    }
    *MonitorSettingsList =
        MatchMonitorRecords(MonitorIds, *MonitorSettingsList, now, Gone, [this](int i) {
            return i < StartRecords.size() ? StartRecords[i] : MonitorSettings::ForMonitor(i);
        });
    Monitors = screens;
    MonitorIds = now;

    const qsizetype kept = selected ? Monitors.indexOf(selected) : -1;
    {
        const QSignalBlocker quiet(MonitorList);
        RefreshMonitorList();
        MonitorList->setCurrentRow(kept < 0 ? 0 : static_cast<int>(kept));
    }
    ShowSelectedMonitor();
    Session->MonitorsChanged();
}

void TGswMainForm::FormActivate()
{
    if (!StartupPending)
        return;
    StartupPending = false;
    ShowSelectedMonitor();
}

void TGswMainForm::FormClose(QCloseEvent *event)
{
    if (SessionEnded) { // saved already, or tried to
        event->accept();
        return;
    }
    Session->EndAnyWash();
    try {
        SaveSettings();
        event->accept();
    } catch (const SettingsFileError &e) {
        if (UnattendedClose) {
            // Nobody may be there to answer a box: the error goes to standard error and the
            // program ends with a status that says the save failed.
            event->ignore();
            const QString text = e.message().simplified();
            std::fprintf(stderr, "glowsweep-wizard: the settings could not be saved: %s\n",
                         text.toLocal8Bit().constData());
            QCoreApplication::exit(ExitSaveFailed);
            return;
        }
        // The first failure keeps the window open, so that the user can make room or fix the
        // folder and close again. A second one ends the program all the same: a save that
        // cannot succeed must not make the program impossible to close.
        ++FailedCloses;
        event->setAccepted(FailedCloses >= 2);
        ShowApplicationError(e.message());
    }
}

void TGswMainForm::FormEndSession()
{
    // A running wash ends as the button would end it, so that a failed save after it leaves a
    // window that tells the truth about what is running.
    Session->EndAnyWash();
    try {
        SaveSettings();
    } catch (const SettingsFileError &e) {
        // No one may be there to answer a box, so the error goes where a service's log reads it.
        std::fprintf(stderr, "glowsweep-wizard: %s\n", qPrintable(e.message()));
    }
    SessionEnded = true;
    // Every window, so that a message box or the about box open now ends its modal loop too.
    QApplication::closeAllWindows();
}

void TGswMainForm::FormCommitData(QSessionManager &manager)
{
    try {
        SaveSettings();
    } catch (const SettingsFileError &e) {
        if (manager.allowsErrorInteraction()) {
            ShowApplicationError(e.message());
            manager.release();
        } else {
            std::fprintf(stderr, "glowsweep-wizard: %s\n", qPrintable(e.message()));
        }
    }
}

void TGswMainForm::FormDestroy()
{
    MonitorSettingsList.reset();
    WashWindowList.reset();
}

void TGswMainForm::LoadSettings()
{
    // More positions than there are monitors now, so that a monitor plugged in later gets the
    // line the file has for its position, as a start would give it.
    StartRecords.clear();
    for (qsizetype i = 0; i < std::max(MonitorSettingsList->size(), RememberedPositions); ++i)
        StartRecords.append(MonitorSettings::ForMonitor(static_cast<int32_t>(i)));
    const std::optional<int32_t> activate = LoadSettingsFile(ConfigFolder, StartRecords);
    std::copy_n(StartRecords.begin(), MonitorSettingsList->size(), MonitorSettingsList->begin());
    if (activate)
        ActivateCB->setCurrentIndex(ActivateChoice(*activate)); // not 0 or 1: no item selected
}

void TGswMainForm::SaveSettings()
{
    SaveSettingsFile(ConfigFolder, *MonitorSettingsList, ActivateCB->currentIndex());
}

bool TGswMainForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TGswMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A shown main window is the active one, also where no window manager activates windows
    // (kiosks, signage): its first activation finishes the start-up.
    if (!event->spontaneous() && !ShownBefore) {
        ShownBefore = true;
        // At a large font the window's pixels outgrow a small monitor: it opens on its monitor
        // all the same, with its buttons in reach.
        const QScreen *s = QGuiApplication::screenAt(pos());
        if (!s)
            s = screen();
        if (s)
            move(PlaceInWorkArea(frameGeometry(), s->availableGeometry()));
        activateWindow();
    }
}

void TGswMainForm::closeEvent(QCloseEvent *event)
{
    FormClose(event);
}
