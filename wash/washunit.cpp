#include "wash/washunit.h"

#include <QAbstractNativeEventFilter>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

using Spans = QList<std::pair<int32_t, int32_t>>;

// Pixels inside exactly one of two span lists. Each list is sorted and merged, so a point
// lies in the symmetric difference exactly when an odd number of span edges lie at or
// before it: the result is the gaps between the 1st and 2nd, 3rd and 4th... sorted edge.
Spans SymmetricDifference(const Spans &a, const Spans &b)
{
    std::vector<int32_t> edges;
    edges.reserve(static_cast<size_t>(2 * (a.size() + b.size())));
    for (const Spans *list : {&a, &b}) {
        for (const auto &[from, to] : *list) {
            edges.push_back(from);
            edges.push_back(to);
        }
    }
    std::sort(edges.begin(), edges.end());
    Spans result;
    for (size_t i = 0; i + 1 < edges.size(); i += 2) {
        if (edges[i] < edges[i + 1])
            result.append({edges[i], edges[i + 1]});
    }
    return result;
}

// Covers `region` with few rectangles: full-width rectangles as they are, every other
// rectangle stretched over the rows from the first to the last rectangle of its columns.
// The cover may exceed the region; the painter's system clip keeps drawing inside it.
QList<QRect> Pieces(const QRegion &region, int width)
{
    QList<QRect> pieces;
    std::map<std::pair<int, int>, std::pair<int, int>> columns; // (x, w) -> (top, bottom)
    for (const QRect &r : region) {
        if (r.x() == 0 && r.width() >= width) {
            pieces.append(r);
            continue;
        }
        const auto [it, added] = columns.try_emplace({r.x(), r.width()}, r.top(), r.bottom());
        if (!added) {
            it->second.first = std::min(it->second.first, r.top());
            it->second.second = std::max(it->second.second, r.bottom());
        }
    }
    for (const auto &[x, y] : columns)
        pieces.append(QRect(QPoint(x.first, y.first), QPoint(x.first + x.second - 1, y.second)));
    return pieces;
}

bool IsWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
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
    // paintEvent covers every exposed pixel, black where the bitmap does not reach, so the
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
    } else {
        setGeometry(monitorRect);
        show();
    }
    activateWindow();
}

void TWashForm::RenderFrame(int32_t HBars, int32_t VBars, int32_t ScanRate, int32_t BarSize,
                            int64_t FrameCounter)
{
    if (isVisible() &&
        (Bitmap.size() != PhysicalClientSize() || Bitmap.devicePixelRatio() != devicePixelRatio()))
        PrepareBitmap();
    if (Bitmap.isNull())
        return;

    BarSpans spans = ComputeBarSpans(Bitmap.width(), Bitmap.height(), HBars, VBars, ScanRate,
                                     BarSize, FrameCounter);
    PaintBarSpans(Bitmap, spans); // RenderBars, with the spans kept for the update below
    if (RepaintAll) {
        update();
        RepaintAll = false;
    } else {
        // Handing the window system one more rectangle costs about as much as copying two
        // thousand more pixels (measured under Xorg), so a region of very many rectangles, as
        // many thin bars make, goes out as its bounding rectangle.
        constexpr qsizetype PixelsPerRectangle = 2048;
        const QRegion changed = ChangedRegion(ShownSpans, spans);
        if (changed.rectCount() > Bitmap.sizeInBytes() / 4 / PixelsPerRectangle)
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
    const QSize size = PhysicalClientSize();
    if (Bitmap.size() != size)
        Bitmap = QImage(size, QImage::Format_RGB32); // null if empty or out of memory
    Bitmap.setDevicePixelRatio(devicePixelRatio());
    Bitmap.fill(Qt::black);
    ShownSpans = {};
    RepaintAll = true;
}

QSize TWashForm::PhysicalClientSize() const
{
    // Rounded as the backing store rounds it, so bitmap and window pixels correspond.
    return size() * devicePixelRatio();
}

// The logical area whose physical pixels may differ between two frames. A frame is black
// crossed by white full-height columns and full-width rows, so a pixel can change only where
// its column or its row changed colour. Each physical span [a, b) becomes the logical span
// [floor(a / dpr), ceil(b / dpr)), which scaled back by dpr still contains [a, b) once the
// paint system rounds it to whole device pixels (any rounding that keeps whole numbers).
QRegion TWashForm::ChangedRegion(const BarSpans &shown, const BarSpans &next) const
{
    const qreal dpr = Bitmap.devicePixelRatio();
    const auto logical = [dpr](const std::pair<int32_t, int32_t> &span) {
        const auto from = static_cast<int>(std::floor(span.first / dpr));
        const auto to = static_cast<int>(std::ceil(span.second / dpr));
        return std::pair{from, to - from};
    };

    QRegion region;
    for (const auto &span : SymmetricDifference(shown.columns, next.columns)) {
        const auto [x, w] = logical(span);
        region += QRect(x, 0, w, height());
    }
    for (const auto &span : SymmetricDifference(shown.rows, next.rows)) {
        const auto [y, h] = logical(span);
        region += QRect(0, y, width(), h);
    }
    return region & rect();
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
    const QSizeF covered = Bitmap.deviceIndependentSize();
    if (Bitmap.isNull() || covered.width() < width() || covered.height() < height())
        painter.fillRect(rect(), Qt::black);
    if (Bitmap.isNull())
        return;
    // One bitmap pixel per device pixel, copied in device coordinates. At a fractional scale
    // a logical rectangle may begin or end inside a device pixel, and a bitmap drawn scaled
    // into it lets the paint engine round target and source apart, shifting a bar's edge by
    // a pixel (Qt 6.8 at 150 %). The system clip keeps the copy to the exposed pixels.
    // The exposed region of a tick is a grid of columns and rows, held as many small
    // rectangles; drawn as whole columns and rows, each clipped to a plain rectangle, it
    // takes a few dozen blits instead of thousands of small draws.
    const QTransform toDevice = painter.deviceTransform();
    painter.setWorldTransform(toDevice.inverted());
    const QImage pixels(Bitmap.constBits(), Bitmap.width(), Bitmap.height(), Bitmap.bytesPerLine(),
                        Bitmap.format()); // the same pixels, at a device pixel ratio of 1
    for (const QRect &piece : Pieces(event->region(), width())) {
        const QRect source = toDevice.mapRect(QRectF(piece)).toAlignedRect() & pixels.rect();
        painter.setClipRect(source);
        painter.drawImage(source.topLeft(), pixels, source);
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
