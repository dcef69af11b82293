#pragma once

#include "app/gswglobals.h"
#include "app/monitormatch.h"
#include "wash/renderbars.h"
#include "wash/washsession.h"

#include <QByteArray>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPainter;
class QPushButton;
class QSessionManager;
class QTimer;
class TFormMover;
class TImage;
class TUpDown;

/// The main window: the monitor list, the selected monitor's picture with its live preview
/// and settings, and the controls that start and stop a wash.
class TGswMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TGswMainForm(const TGswFolders &folders = TGswFolders::System());
    ~TGswMainForm() override;

    // Components, named and laid out as the window shows them.
    QGroupBox *PreviewGB;
    TImage *MonitorImageSrcWide;
    TImage *MonitorTNImageWide;
    QLabel *LabelMonitor;
    QLabel *LabelScanRate;
    QLabel *LabelHBars;
    QLabel *LabelVBars;
    TImage *MonitorImage;
    QLabel *LabelBarSize;
    QLineEdit *VBarEdit;
    QLineEdit *HBarEdit;
    QComboBox *ScanRateCB;
    TUpDown *VUpDown;
    TUpDown *HUpDown;
    QComboBox *BarSizeCB;
    QGroupBox *MonitorsGB;
    QPushButton *ApplyButton;
    QPushButton *HelpButton;
    QPushButton *AboutButton;
    QLabel *LabelActivate;
    QListWidget *MonitorList;
    QComboBox *ActivateCB;
    QTimer *WashTimer;
    /// The wash windows, their tick and their time.
    TWashSession *Session;

    // Life cycle.
    void FormCreate(const TGswFolders &folders);
    void BuildMonitorSettings();
    void FormActivate();
    void FormClose(QCloseEvent *event);
    /// Ends the program for a request from outside, as a close does: the wash ends, the screen
    /// may sleep again, the settings are saved, and every window closes, the open boxes too. A
    /// failed save is reported on standard error and does not keep any window open.
    void FormEndSession();
    /// The session manager's request to save before the session ends.
    void FormCommitData(QSessionManager &manager);
    void FormDestroy();
    void LoadSettings();
    void SaveSettings();

    /// The desktop's monitors changed: the records, the list and any wash follow them as if the
    /// program had just started on the desktop as it is now, except that a monitor that stayed
    /// keeps its record, and one that comes back gets back the record it had. The selected
    /// monitor stays selected while it is there; otherwise monitor 1 is.
    void MonitorsChanged();

    // The monitor list and the settings controls.
    void RefreshMonitorList();
    void ShowSelectedMonitor();
    void MonitorListClick() { ShowSelectedMonitor(); }
    int MonitorListMeasureItem(int index) const;
    void MonitorListDrawItem(QPainter &canvas, int index, const QRect &rect, const QColor &fill,
                             const QColor &text) const;
    void ScanRateCBChange();
    void BarSizeCBChange();
    void VBarEditChange();
    void HBarEditChange();
    void HelpButtonClick();
    void AboutButtonClick();
    /// Starts moving the window as if its title bar had been grabbed.
    void FormMouseDown(const QPoint &globalPos, Qt::MouseButton button);

    // Washing.
    void ToggleWash();
    void StartWash() { Session->StartWash(ChosenTarget()); }
    void StopWash() { Session->StopWash(); }
    void ApplyButtonClick() { ToggleWash(); }
    void WashTimerTimer() { Session->Tick(); }
    void FormKeyDown(int key);

    /// The text of the confirmation asked before a wash starts.
    static const QString WashConfirmationText;

    /// Starts washing monitor `index`, or every monitor for TCommandLine::AllMonitors, each
    /// with its stored settings, without asking; "Activate on" and the selection stay as they
    /// are. When the session's WashDuration runs out, the program closes. Does nothing while a
    /// wash runs.
    void StartUnattendedWash(int index);
    /// The unattended wash's time is up, or its monitors have gone: the program closes as Esc
    /// on the idle window would close it. An unattended close whose settings cannot be saved
    /// reports the error on standard error and ends the program with ExitSaveFailed, since nobody
    /// may be there to answer a message box.
    void UnattendedWashOver();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void CreateComponents();
    /// What "Activate on" and the list choose: the selected monitor or TWashSession::AllMonitors.
    int ChosenTarget() const;
    void WashBegins();
    void WashEnds();
    void PaintPreview();
    /// Takes the keyboard back after a wash or a box that had it.
    void ReclaimKeyboard();

    bool ShownBefore = false;
    int FailedCloses = 0;
    bool SessionEnded = false;
    int RowAtPress = -1; // the list's selected item when the last press on it began
    void WatchMonitor(QScreen *screen);

    QList<MonitorIdentity> MonitorIds;   // what the system told of each of Monitors
    GoneMonitors Gone;                   // records of monitors unplugged during this run
    QList<MonitorSettings> StartRecords; // what a start gives each position, file lines applied
    bool UnattendedClose = false;        // an unattended wash's time is up and the window closes
    // The white columns and rows the preview picture holds, valid while the picture's cache
    // key is PreviewKey: a tick that would paint the same frame again leaves it alone.
    BarSpans PreviewSpans;
    qint64 PreviewKey = 0;
    TFormMover *Mover; // moves the window by its background
};
