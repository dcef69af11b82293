#pragma once

#include "wash/renderbars.h"

#include <QByteArray>
#include <QDeadlineTimer>
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
class TImage;
class TUpDown;
class TWashForm;
class ScreenSaverInhibitor;

/// Where the main window finds its folders at creation. The program takes them from the
/// system; tests hand in folders of their own.
struct TGswFolders {
    QByteArray executablePath;                        ///< full path of the program file
    std::function<QByteArray(int32_t)> specialFolder; ///< GetSpecialFolder
    static TGswFolders System();
};

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
    void StartWash();
    void StopWash();
    void ApplyButtonClick() { ToggleWash(); }
    void WashTimerTimer();
    void FormKeyDown(int key);
    /// One frame of the wash pattern at the current FrameCounter.
    static void RenderBars(QImage &Image, int32_t HBars, int32_t VBars, int32_t ScanRate,
                           int32_t BarSize);

    /// Where a window whose frame would stand at `frame` is put so that edges within
    /// `buffer` pixels of the work area's edges snap onto them.
    static QPoint SnapToWorkArea(const QRect &frame, const QRect &workArea, int buffer = 10);

    /// The text of the confirmation asked before a wash starts.
    static const QString WashConfirmationText;

    // Unattended washing, asked for on the command line.
    /// Every wash of this run ends by itself after this many milliseconds; empty: a wash runs
    /// until it is stopped.
    std::optional<int64_t> WashDuration;
    /// Fires when a wash has run for WashDuration.
    QTimer *WashEndTimer;
    /// Starts washing monitor `index`, or every monitor for TCommandLine::AllMonitors, each
    /// with its stored settings, without asking; "Activate on" and the selection stay as they
    /// are. When its WashDuration runs out, the program closes. Does nothing while a wash runs.
    void StartUnattendedWash(int index);
    /// WashDuration is up: the unattended wash closes the program as Esc on the idle window
    /// would, any other wash just ends. An unattended close whose settings cannot be saved
    /// reports the error on standard error and ends the program with ExitSaveFailed, since
    /// nobody may be there to answer a message box.
    void WashTimeUp();

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
    void OpenWashWindow(int index);
    void WashWindowReleased(TWashForm *form);
    void BeginWash();
    void EndWash();
    void EndAnyWash();
    void WashEndTimerTimer();
    bool DragTo(const QPoint &globalPos);
    bool FormMouseFilter(QObject *watched, QMouseEvent *event);

    ScreenSaverInhibitor *Inhibitor;
    bool StoppingWash = false;
    bool ShownBefore = false;
    int FailedCloses = 0;
    bool SessionEnded = false;
    int RowAtPress = -1;                 // the list's selected item when the last press on it began
    std::optional<int> UnattendedTarget; // what StartWash washes in place of the window's choice
    bool UnattendedWash = false;         // the running wash was started by StartUnattendedWash
    bool UnattendedClose = false;        // its time is up and the window is closing
    QDeadlineTimer WashDeadline;
    // The white columns and rows the preview picture holds, valid while the picture's cache
    // key is PreviewKey: a tick that would paint the same frame again leaves it alone.
    BarSpans PreviewSpans;
    qint64 PreviewKey = 0;
    // A move of the window by its background, where this program places its own windows.
    Qt::MouseButton DragButton = Qt::NoButton;
    QPoint DragOffset;
};
