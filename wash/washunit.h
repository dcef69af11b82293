#pragma once

#include "wash/idleinhibit.h"
#include "wash/renderbars.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <memory>

class QScreen;

/// A wash window: a borderless black top-level window over one monitor, showing the wash
/// pattern in the monitor's physical pixels. It decides nothing itself: keys and clicks are
/// reported through signals for the main window to act on.
class TWashForm : public QWidget {
    Q_OBJECT

public:
    /// `owner` owns the window (it is destroyed with its owner at the latest), yet the window
    /// is a top-level window of its own, neither modal nor kept above other windows.
    explicit TWashForm(QWidget *owner);
    ~TWashForm() override;

    /// Index of the window's MonitorSettings record; set before the window is shown.
    int Tag = 0;
    /// False: the window does not ask a Wayland compositor to keep the display awake; set
    /// before the window is shown.
    bool KeepAwake = true;

    /// Shows the window over `monitorRect`, the full rectangle of `screen`, running FormShow,
    /// titled for the monitor numbered Tag + 1.
    /// Where the platform lets a program place its windows the window takes exactly that
    /// rectangle; on Wayland it is made full-screen on `screen` instead. The window follows
    /// the screen's size, and closes when the screen goes away or another program destroys it.
    void ShowOnMonitor(QScreen *screen, const QRect &monitorRect);

    /// The monitor the window washes; null once it has gone.
    QScreen *WashedScreen() const;

    /// Puts the window back over its monitor, on top and full screen, after the desktop's
    /// monitors changed and the window system may have moved other windows over it.
    void KeepOnTop();

    /// One tick: works out the frame's white columns and rows and asks the window system to
    /// redraw only the columns and rows whose colour changed since the frame on screen (their
    /// bounding rectangle when they are very many); paintEvent draws them from the spans.
    /// The screen then shows exactly the RenderBars image of the window's physical size.
    void RenderFrame(int32_t HBars, int32_t VBars, int32_t ScanRate, int32_t BarSize,
                     int64_t FrameCounter);

signals:
    /// Every key pressed on the window, unchanged (Qt::Key values).
    void keyDown(int key);
    /// A left-button click anywhere on the window.
    void clicked();
    /// The window has closed, by whatever path: it is hidden and leaves the wash. Emitted
    /// once; the window is destroyed after the current event, never during this signal.
    /// Not emitted when the window is destroyed with its owner without being closed.
    void released(TWashForm *form);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void FormShow();
    void PrepareBitmap();
    QSize PhysicalClientSize() const;
    void MonitorRemoved(QScreen *screen);
    void MonitorGeometryChanged(const QRect &geometry);
    void KeepOnMonitor();

    class WindowLossFilter;
    std::unique_ptr<WindowLossFilter> LossFilter;

    // The frame is held as its white columns and rows, not as a bitmap: the window system's
    // backing store already keeps every pixel on screen, a tick changes only the pixels that
    // update() hands back to paintEvent, and the spans give the colour of any of them. A
    // bitmap of our own would double the memory of a wash and buy nothing.
    QSize FrameSize;         // physical size of the frame; empty until shown
    qreal FrameDpr = 1;      // device pixel ratio the frame was prepared for
    BarSpans ShownSpans;     // white columns and rows of the frame last handed to update()
    bool RepaintAll = true;  // the next frame redraws the whole window
    bool ButtonDown = false; // a left press on this window awaits its release
    bool IsReleased = false;
    QPointer<QScreen> Monitor;
    QMetaObject::Connection MonitorGeometryConnection;
    QMetaObject::Connection ScreenChangeConnection;
    // Keeps a Wayland compositor's display awake from showing until closing.
    std::unique_ptr<IdleInhibitor> Inhibitor;
};
