#pragma once

#include "wash/renderbars.h"

#include <QByteArray>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPainter;
class QPushButton;
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

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void CreateComponents();
    void OpenWashWindow(int index);
    void WashWindowReleased(TWashForm *form);
    void EndWash();
    bool DragTo(const QPoint &globalPos);

    ScreenSaverInhibitor *Inhibitor;
    bool StoppingWash = false;
    // The white columns and rows the preview picture holds, valid while the picture's cache
    // key is PreviewKey: a tick that would paint the same frame again leaves it alone.
    BarSpans PreviewSpans;
    qint64 PreviewKey = 0;
    // A move of the window by its background, where this program places its own windows.
    Qt::MouseButton DragButton = Qt::NoButton;
    QPoint DragOffset;
};
