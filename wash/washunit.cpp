#include "wash/washunit.h"

#include "app/platformname.h"
#include "wash/washregions.h"

#include <QAbstractNativeEventFilter>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <cstring>

namespace {

// The image the window system keeps the window in, when `painter` paints a window there
// one-to-one: a 32-bit image of `size` physical pixels at ratio `dpr`, the window at its origin,
// not shared. A piece of a frame is then written straight into it. Painting through the painter
// clips every fill to the exposed region, and a grid of many thin bars makes that clip cost more
// than redrawing the whole monitor. The pieces may reach beyond the exposed region, but only
// over pixels that are the same in the new frame and the one kept there (the window system's
// copy is outdated only inside the region), so writing them changes nothing.
QImage *WindowImage(QPainter &painter, QSize size, qreal dpr)
{
    QPaintDevice *device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    const QTransform &toDevice = painter.deviceTransform();
    const bool oneToOne = toDevice.type() <= QTransform::TxScale && toDevice.m11() == dpr &&
                          toDevice.m22() == dpr && toDevice.dx() == 0 && toDevice.dy() == 0;
    const bool bits32 = image->format() == QImage::Format_RGB32 ||
                        image->format() == QImage::Format_ARGB32 ||
                        image->format() == QImage::Format_ARGB32_Premultiplied;
    return oneToOne && bits32 && image->size() == size && image->devicePixelRatio() == dpr &&
                   image->isDetached()
               ? image
               : nullptr;
}

} // namespace

/// Closes the window when another X client destroys it (xdotool windowclose, xkill -id): Qt
/// acts on a window manager's close request, but lets a window vanish under it unnoticed. The
/// X protocol fixes the event's layout, so no X header is needed; elsewhere nothing matches.
class TWashForm::WindowLossFilter : public QAbstractNativeEventFilter {
public:
    explicit WindowLossFilter(TWashForm *form)
        : Form(form)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WindowLossFilter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    WindowLossFilter(const WindowLossFilter &) = delete;
    WindowLossFilter &operator=(const WindowLossFilter &) = delete;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        constexpr unsigned char DestroyNotify = 17; // byte 0, without the "sent" bit
        constexpr size_t WindowOffset = 8;          // the destroyed window, 32 bits
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const unsigned char *>(message);
        if ((event[0] & 0x7f) != DestroyNotify || !Form->testAttribute(Qt::WA_WState_Created))
            return false;
        uint32_t window = 0;
        std::memcpy(&window, event + WindowOffset, sizeof window);
        if (window == Form->internalWinId())
            QMetaObject::invokeMethod(Form, &QWidget::close, Qt::QueuedConnection);
        return false;
    }

private:
    TWashForm *Form;
};

TWashForm::~TWashForm() = default;

TWashForm::TWashForm(QWidget *owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
    , LossFilter(std::make_unique<WindowLossFilter>(this))
{
    // paintEvent covers every exposed pixel, black where the frame does not reach, so the
    // window never shows a background of another colour; the palette says black to anything
    // that paints a background regardless.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::StrongFocus);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &TWashForm::MonitorRemoved);
}

void TWashForm::ShowOnMonitor(QScreen *screen, const QRect &monitorRect)
{
    // What a screen reader says when the keyboard moves here.
    setWindowTitle(QStringLiteral("Glowsweep wash on Monitor %1 (Esc stops it)").arg(Tag + 1));
    disconnect(MonitorGeometryConnection);
    Monitor = screen ? screen : QGuiApplication::screenAt(monitorRect.center());
    if (Monitor) {
        setScreen(Monitor);
        MonitorGeometryConnection =
            connect(Monitor, &QScreen::geometryChanged, this, &TWashForm::MonitorGeometryChanged);
    }
    if (IsWayland()) {
        // A Wayland client cannot place its windows; full-screen on the chosen output is
        // the only way to cover exactly that monitor. The compositor ignores the position,
        // yet Qt does not: when the native window is created, QWindow takes the screen
        // under the centre of its geometry in place of the one set above, and the
        // full-screen request names that screen's output. A window never placed sits at
        // 0,0, on the first output, so every wash would go there. Placed over its monitor,
        // the window keeps its screen and the request names the right output.
        setGeometry(monitorRect);
        showFullScreen();
        KeepOnMonitor();
        if (KeepAwake)
            Inhibitor = std::make_unique<IdleInhibitor>(windowHandle());
    } else {
        setGeometry(monitorRect);
        show();
    }
    activateWindow();
}

void TWashForm::RenderFrame(int32_t HBars, int32_t VBars, int32_t ScanRate, int32_t BarSize,
                            int64_t FrameCounter)
{
    if (isVisible() && (FrameSize != PhysicalClientSize() || FrameDpr != devicePixelRatio()))
        PrepareBitmap();
    if (FrameSize.isEmpty())
        return;

    BarSpans spans = ComputeBarSpans(FrameSize.width(), FrameSize.height(), HBars, VBars, ScanRate,
                                     BarSize, FrameCounter);
    if (RepaintAll) {
        update();
        RepaintAll = false;
    } else if (spans != ShownSpans) {
        // Handing the window system one more rectangle costs about as much as copying two
        // thousand more pixels (measured under Xorg), so a region of very many rectangles, as
        // many thin bars make, goes out as its bounding rectangle.
        constexpr qsizetype PixelsPerRectangle = 2048;
        const QRegion changed = ChangedRegion(ShownSpans, spans, FrameDpr, size());
        const qsizetype area = qsizetype{FrameSize.width()} * FrameSize.height();
        if (changed.rectCount() > area / PixelsPerRectangle)
            update(changed.boundingRect());
        else if (!changed.isEmpty())
            update(changed);
    }
    ShownSpans = std::move(spans);
}

void TWashForm::FormShow()
{
    setCursor(Qt::BlankCursor);
    PrepareBitmap();
}

void TWashForm::PrepareBitmap()
{
    FrameSize = PhysicalClientSize();
    FrameDpr = devicePixelRatio();
    ShownSpans = {};
    RepaintAll = true;
}

QSize TWashForm::PhysicalClientSize() const
{
    // Rounded as the backing store rounds it, so frame and window pixels correspond.
    return size() * devicePixelRatio();
}

// A full-screen window stays on the output it was shown on, but Qt may be told otherwise.
// Qt 6.8 follows the compositor's surface enter and leave events with a queued screen change,
// and weston maps a new window on the output under the pointer for a moment before it moves
// it to its own output. The queued change then lands after the window has already left that
// output, and Qt takes the buffer scale from the wrong screen: on an output at scale 2 the
// wash came out at half resolution, blurred by the compositor's upscaling. Putting the
// window's screen back each time keeps the scale, and the frame, those of the monitor.
void TWashForm::KeepOnMonitor()
{
    QWindow *window = windowHandle();
    if (!window)
        return;
    disconnect(ScreenChangeConnection);
    ScreenChangeConnection = connect(window, &QWindow::screenChanged, this, [this](QScreen *now) {
        if (Monitor && now != Monitor)
            windowHandle()->setScreen(Monitor);
    });
}

QScreen *TWashForm::WashedScreen() const
{
    return Monitor;
}

void TWashForm::KeepOnTop()
{
    if (!isVisible() || !Monitor)
        return;
    if (IsWayland()) {
        KeepOnMonitor();
        showFullScreen();
    } else {
        setGeometry(Monitor->geometry());
    }
    raise();
    activateWindow();
}

void TWashForm::MonitorRemoved(QScreen *screen)
{
    if (screen && screen == Monitor)
        close();
}

void TWashForm::MonitorGeometryChanged(const QRect &geometry)
{
    if (!IsWayland())
        setGeometry(geometry);
}

void TWashForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

// Released, not destroyed: this runs inside close(), which the main window may call from
// one of this window's own key or click signals.
void TWashForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (IsReleased)
        return;
    IsReleased = true;
    Inhibitor.reset();
    hide();
    emit released(this);
    deleteLater();
}

void TWashForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        PrepareBitmap();
}

void TWashForm::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (FrameSize.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // The exposed region of a tick is a grid of columns and rows, held as many small
    // rectangles; whole columns and rows cover it with a few dozen pieces, in physical pixels.
    const qreal dpr = FrameDpr;
    QList<QRect> areas;
    for (const QRect &piece : Pieces(event->region(), width())) {
        areas.append(
            QRectF(piece.x() * dpr, piece.y() * dpr, piece.width() * dpr, piece.height() * dpr)
                .toAlignedRect());
    }
    if (QImage *store = WindowImage(painter, FrameSize, dpr)) {
        for (const QRect &area : std::as_const(areas))
            PaintBarSpans(*store, ShownSpans, area);
        return;
    }

    // Black, then the white columns and rows across each piece; whatever lies beyond the
    // frame stays black.
    if (dpr != 1)
        painter.setWorldTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
    const QRect frame(QPoint(0, 0), FrameSize);
    for (const QRect &area : std::as_const(areas)) {
        painter.fillRect(area, Qt::black);
        const QRect inside = area & frame;
        for (const auto &[from, to] : ShownSpans.columns) {
            const QRect column = QRect(from, inside.top(), to - from, inside.height()) & inside;
            if (!column.isEmpty())
                painter.fillRect(column, Qt::white);
        }
        for (const auto &[from, to] : ShownSpans.rows) {
            const QRect row = QRect(inside.left(), from, inside.width(), to - from) & inside;
            if (!row.isEmpty())
                painter.fillRect(row, Qt::white);
        }
    }
}

void TWashForm::keyPressEvent(QKeyEvent *event)
{
    // A held key repeats; only its first press counts, so that holding Esc stops the wash
    // without the repeats going on to close the program once the main window is back.
    if (!event->isAutoRepeat())
        emit keyDown(event->key());
}

void TWashForm::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        ButtonDown = true;
}

void TWashForm::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !ButtonDown)
        return;
    ButtonDown = false;
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}
