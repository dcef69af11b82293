// The wash window on simulated monitors (offscreen platform; the layouts are in tests/screens).
// What reaches the "screen" is read from the window's backing store, which keeps exactly the
// pixels the window system was given.

#include "wash/renderbars.h"
#include "wash/washunit.h"

#include "onscreen.h"

#include <QApplication>
#include <QBackingStore>
#include <QJsonArray>
#include <QJsonObject>
#include <QPaintEvent>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <limits>
#include <memory>
#include <qpa/qplatformnativeinterface.h>
#include <random>
#include <vector>

namespace {

// The scaled build puts monitor A at 200 %, where regions counted for 100 % do not apply.
#ifdef GSW_SCALED_SCREENS
constexpr bool ScaledScreens = true;
#else
constexpr bool ScaledScreens = false;
#endif

struct Frame {
    int32_t HBars, VBars, ScanRate, BarSize;
    int64_t FrameCounter;
    // Counters near a wrap: FrameCounter is added to the image's width (or height).
    enum { Absolute, FromWidth, FromHeight } anchor = Absolute;
};

struct Sequence {
    const char *name;
    std::vector<Frame> frames;
};

const std::vector<Sequence> &Sequences()
{
    static const std::vector<Sequence> sequences = {
        {"bars step one pixel",
         {{1, 1, 2, 2, 0}, {1, 1, 2, 2, 1}, {1, 1, 2, 2, 2}, {1, 1, 2, 2, 3}}},
        {"vertical bars cross the right edge",
         [] {
             std::vector<Frame> f;
             for (int64_t k = -14; k <= 3; ++k)
                 f.push_back({0, 3, 2, 4, k, Frame::FromWidth});
             return f;
         }()},
        {"horizontal bars cross the bottom edge",
         [] {
             std::vector<Frame> f;
             for (int64_t k = -14; k <= 3; ++k)
                 f.push_back({2, 0, 2, 1, k, Frame::FromHeight});
             return f;
         }()},
        {"settings change between frames",
         {{0, 3, 2, 2, 10},
          {2, 0, 2, 2, 11},
          {20, 20, 4, 0, 12},
          {0, 0, 2, 2, 13},
          {1, 1, 4, 4, 14},
          {-3, 7, 9, -1, 15},
          {1, 0, 2, 2, 16}}},
        {"very slow holds still for four ticks",
         {{1, 1, 0, 2, 0}, {1, 1, 0, 2, 1}, {1, 1, 0, 2, 3}, {1, 1, 0, 2, 4}, {1, 1, 0, 2, 5}}},
        {"counter jumps",
         {{2, 2, 3, 2, 0},
          {2, 2, 3, 2, 4294967296},
          {2, 2, 3, 2, 5},
          {2, 2, 3, 2, std::numeric_limits<int64_t>::max()}}},
    };
    return sequences;
}

QScreen *ScreenNamed(const QString &name)
{
    for (QScreen *s : QGuiApplication::screens()) {
        if (s->name() == name)
            return s;
    }
    return nullptr;
}

// The offscreen platform's own hooks for reading and changing its monitors at run time.
QJsonObject ScreenConfiguration()
{
    using Getter = QJsonObject (*)(QPlatformNativeInterface *);
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    auto get = reinterpret_cast<Getter>(native->nativeResourceForIntegration("configuration"));
    return get ? get(native) : QJsonObject();
}

bool SetScreenConfiguration(const QJsonObject &configuration)
{
    using Setter = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    auto set = reinterpret_cast<Setter>(native->nativeResourceForIntegration("setConfiguration"));
    if (!set)
        return false;
    set(configuration, native);
    return true;
}

// The configuration with one screen's entry edited (or removed, when `edit` returns false).
QJsonObject EditedScreen(QJsonObject configuration, const QString &name,
                         const std::function<bool(QJsonObject &)> &edit)
{
    QJsonArray screens;
    for (const QJsonValue &v : configuration[QStringLiteral("screens")].toArray()) {
        QJsonObject screen = v.toObject();
        if (screen[QStringLiteral("name")].toString() != name || edit(screen))
            screens.append(screen);
    }
    configuration[QStringLiteral("screens")] = screens;
    return configuration;
}

QImage Expected(QSize size, const Frame &f)
{
    QImage image(size, QImage::Format_RGB32);
    RenderBars(image, f.HBars, f.VBars, f.ScanRate, f.BarSize, f.FrameCounter);
    return image;
}

// The pixels the window has handed to the window system, after every pending repaint.
// Whether the window system holds exactly `expected` for the window, compared in place. Black
// and white have the same pixel values in every 32-bit format a backing store may have.
bool ShowsExactly(QWidget &window, const QImage &expected)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QPaintDevice *device = window.backingStore() ? window.backingStore()->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return false;
    const QImage &shown = *static_cast<const QImage *>(device);
    if (shown.depth() != 32 || shown.size() != expected.size())
        return false;
    const auto bytes = static_cast<size_t>(expected.width()) * 4;
    for (int y = 0; y < expected.height(); ++y) {
        if (std::memcmp(shown.constScanLine(y), expected.constScanLine(y), bytes) != 0)
            return false;
    }
    return true;
}

// Collects the regions of the paint events a window receives.
class PaintRecorder : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

Q_DECLARE_METATYPE(Frame)

class TestWashForm : public QObject {
    Q_OBJECT

private:
    QJsonObject initialScreens;
    std::unique_ptr<QWidget> owner;

    TWashForm *ShownOn(const QString &screenName)
    {
        QScreen *screen = ScreenNamed(screenName);
        if (!screen)
            return nullptr;
        auto *form = new TWashForm(owner.get());
        form->ShowOnMonitor(screen, screen->geometry());
        if (!QTest::qWaitForWindowExposed(form))
            return nullptr;
        return form;
    }

    static void ScreenRows()
    {
        QTest::addColumn<QString>("screen");
        for (QScreen *s : QGuiApplication::screens())
            QTest::newRow(qPrintable(s->name())) << s->name();
    }

private slots:
    void initTestCase()
    {
        initialScreens = ScreenConfiguration();
        QVERIFY2(!initialScreens.isEmpty(),
                 "the offscreen platform's configuration hook is missing");
    }

    void init() { owner = std::make_unique<QWidget>(); }

    void cleanup()
    {
        owner.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetScreenConfiguration(initialScreens);
        QCoreApplication::processEvents();
    }

    void coversItsMonitor_data() { ScreenRows(); }
    void coversItsMonitor()
    {
        QFETCH(QString, screen);
        QScreen *monitor = ScreenNamed(screen);
        TWashForm *form = ShownOn(screen);
        QVERIFY(form);

        QCOMPARE(form->geometry(), monitor->geometry());
        QCOMPARE(form->screen(), monitor);
        QVERIFY(form->isWindow());
        QCOMPARE(form->parentWidget(), owner.get());
        QVERIFY(form->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!form->isModal());
        QCOMPARE(form->cursor().shape(), Qt::BlankCursor);

        const qreal dpr = monitor->devicePixelRatio();
        QCOMPARE(form->devicePixelRatio(), dpr);
        QImage black(monitor->geometry().size() * dpr, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(OnScreen(*form), black);
    }

    // The window redraws only what changed; the screen must still show every frame exactly
    // as a full repaint would.
    void screenShowsEveryFrameExactly_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("sequence");
        for (QScreen *s : QGuiApplication::screens()) {
            for (size_t i = 0; i < Sequences().size(); ++i) {
                QTest::addRow("%s: %s", qPrintable(s->name()), Sequences()[i].name)
                    << s->name() << static_cast<int>(i);
            }
        }
    }
    void screenShowsEveryFrameExactly()
    {
        QFETCH(QString, screen);
        QFETCH(int, sequence);
        TWashForm *form = ShownOn(screen);
        QVERIFY(form);
        const QSize size = OnScreen(*form).size();

        int n = 0;
        for (Frame f : Sequences()[static_cast<size_t>(sequence)].frames) {
            if (f.anchor == Frame::FromWidth)
                f.FrameCounter += size.width();
            else if (f.anchor == Frame::FromHeight)
                f.FrameCounter += size.height();
            form->RenderFrame(f.HBars, f.VBars, f.ScanRate, f.BarSize, f.FrameCounter);
            const QImage expected = Expected(size, f);
            const QByteArray where = "frame " + QByteArray::number(n++);
            QVERIFY2(OnScreen(*form) == expected, where);
        }
    }

    // Thousands of ticks with the settings, the counter and the window's size changing at
    // random, and parts of the window exposed now and then: although a tick redraws only what
    // changed, the screen holds the RenderBars image of the window's physical size at every
    // step. The seed is fixed, so a failing step replays.
    void screenStaysExactOverRandomTicks_data() { ScreenRows(); }
    void screenStaysExactOverRandomTicks()
    {
        QFETCH(QString, screen);
        TWashForm *form = ShownOn(screen);
        QVERIFY(form);
        std::mt19937 random(20261208);
        const auto pick = [&](int from, int to) {
            return std::uniform_int_distribution<int>(from, to)(random);
        };
        const auto count = [&] {
            return pick(0, 99) == 0 ? 2147483647 : pick(-1, 12);
        };
        // Even logical sizes keep the physical size whole at 150 %, as a monitor's always is.
        const auto resize = [&] {
            const int most = pick(0, 3) == 0 ? 320 : 40;
            form->resize(2 * pick(1, most), 2 * pick(1, most * 5 / 8));
            QCoreApplication::processEvents();
        };
        resize();
        Frame f{1, 1, 2, 2, 0};
        QImage expected;
        for (int step = 0; step < 2500; ++step) {
            switch (pick(0, 39)) {
            case 0:
                resize();
                break;
            case 1:
                f.HBars = count();
                break;
            case 2:
                f.VBars = count();
                break;
            case 3:
                f.ScanRate = pick(-1, 5);
                break;
            case 4:
                f.BarSize = pick(-1, 5);
                break;
            case 5:
                f.FrameCounter = std::uniform_int_distribution<int64_t>(
                    0, std::numeric_limits<int64_t>::max() / 2)(random);
                break;
            case 6:
                form->update(pick(0, 300), pick(0, 200), pick(1, 50), pick(1, 50));
                break;
            default:
                break;
            }
            form->RenderFrame(f.HBars, f.VBars, f.ScanRate, f.BarSize, f.FrameCounter);
            // One image reused, and the screen compared in place: large allocations at every
            // step would make this slow under AddressSanitizer.
            const QSize size = form->size() * form->devicePixelRatio();
            if (expected.size() != size)
                expected = QImage(size, QImage::Format_RGB32);
            RenderBars(expected, f.HBars, f.VBars, f.ScanRate, f.BarSize, f.FrameCounter++);
            QVERIFY2(ShowsExactly(*form, expected), qPrintable(QString::number(step)));
        }
    }

    // The redrawn area at 100 %: only the columns and rows whose colour changed.
    void redrawsOnlyWhatChanged_data()
    {
        QTest::addColumn<Frame>("first");
        QTest::addColumn<Frame>("second");
        QTest::addColumn<QRegion>("redrawn");
        // Monitor A is 1920 x 1080: one bar is 120 pixels thick at "Normal".
        QTest::newRow("vertical bar steps one pixel")
            << Frame{0, 1, 2, 2, 100} << Frame{0, 1, 2, 2, 101}
            << QRegion(QRect(100, 0, 1, 1080)).united(QRect(220, 0, 1, 1080));
        QTest::newRow("horizontal bar steps four pixels")
            << Frame{1, 0, 4, 2, 10} << Frame{1, 0, 4, 2, 11}
            << QRegion(QRect(0, 40, 1920, 4)).united(QRect(0, 160, 1920, 4));
        QTest::newRow("very slow between steps redraws nothing")
            << Frame{1, 1, 0, 2, 4} << Frame{1, 1, 0, 2, 7} << QRegion();
        QTest::newRow("bar count to zero redraws the old bar")
            << Frame{0, 1, 2, 2, 0} << Frame{0, 0, 2, 2, 1} << QRegion(QRect(0, 0, 120, 1080));
        QTest::newRow("bar slides off the right edge")
            << Frame{0, 1, 2, 2, 1919} << Frame{0, 1, 2, 2, 1920}
            << QRegion(QRect(1919, 0, 1, 1080)).united(QRect(0, 0, 120, 1080));
        // 20 x 20 bars moving one pixel change 40 columns and 40 rows: about 1,700 small
        // rectangles, more than a 1920 x 1080 window hands over cheaper than its whole area.
        QTest::newRow("very many thin bars redraw their bounding rectangle")
            << Frame{20, 20, 2, 2, 0} << Frame{20, 20, 2, 2, 1} << QRegion(0, 0, 1920, 1080);
        // Nine bars are 13 pixels thick, 227 apart across and 122 apart down.
        QRegion edges;
        for (int i = 0; i < 9; ++i) {
            edges += QRegion(i * 227, 0, 1, 1080) + QRegion(i * 227 + 13, 0, 1, 1080);
            edges += QRegion(0, i * 122, 1920, 1) + QRegion(0, i * 122 + 13, 1920, 1);
        }
        QTest::newRow("nine by nine bars still redraw only their edges")
            << Frame{9, 9, 2, 2, 0} << Frame{9, 9, 2, 2, 1} << edges;
    }
    void redrawsOnlyWhatChanged()
    {
        QFETCH(Frame, first);
        QFETCH(Frame, second);
        QFETCH(QRegion, redrawn);
        TWashForm *form = ShownOn(QStringLiteral("A"));
        QVERIFY(form);
        if (ScaledScreens)
            QSKIP("needs monitor A at 1920 x 1080 and 100 %");
        QCOMPARE(OnScreen(*form).size(), QSize(1920, 1080));

        form->RenderFrame(first.HBars, first.VBars, first.ScanRate, first.BarSize,
                          first.FrameCounter);
        OnScreen(*form);
        PaintRecorder recorder;
        form->installEventFilter(&recorder);
        form->RenderFrame(second.HBars, second.VBars, second.ScanRate, second.BarSize,
                          second.FrameCounter);
        QCOMPARE(OnScreen(*form), Expected(QSize(1920, 1080), second));
        QCOMPARE(recorder.painted, redrawn);
    }

    void forwardsEveryKeyUnchanged_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("letter") << int(Qt::Key_A);
        QTest::newRow("space") << int(Qt::Key_Space);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("F1") << int(Qt::Key_F1);
    }
    void forwardsEveryKeyUnchanged()
    {
        QFETCH(int, key);
        TWashForm *form = ShownOn(QStringLiteral("A"));
        QVERIFY(form);
        QSignalSpy keys(form, &TWashForm::keyDown);
        QSignalSpy clicks(form, &TWashForm::clicked);
        QTest::keyClick(form, Qt::Key(key));
        QCOMPARE(keys.count(), 1);
        QCOMPARE(keys.at(0).at(0).toInt(), key);
        QCOMPARE(clicks.count(), 0);
        QVERIFY(form->isVisible());
    }

    void clickAnywhereEmitsClicked_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPointF>("press"); // fractions of the window's size
        QTest::addColumn<QPointF>("release");
        QTest::addColumn<int>("clicks");
        QTest::newRow("centre") << Qt::LeftButton << QPointF(0.5, 0.5) << QPointF(0.5, 0.5) << 1;
        QTest::newRow("top-left pixel") << Qt::LeftButton << QPointF(0, 0) << QPointF(0, 0) << 1;
        QTest::newRow("near bottom-right")
            << Qt::LeftButton << QPointF(0.999, 0.999) << QPointF(0.999, 0.999) << 1;
        QTest::newRow("moved while held")
            << Qt::LeftButton << QPointF(0.1, 0.1) << QPointF(0.9, 0.8) << 1;
        QTest::newRow("released outside")
            << Qt::LeftButton << QPointF(0.5, 0.5) << QPointF(1.5, 0.5) << 0;
        QTest::newRow("right button")
            << Qt::RightButton << QPointF(0.5, 0.5) << QPointF(0.5, 0.5) << 0;
    }
    void clickAnywhereEmitsClicked()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPointF, press);
        QFETCH(QPointF, release);
        QFETCH(int, clicks);
        TWashForm *form = ShownOn(QStringLiteral("B"));
        QVERIFY(form);
        const auto at = [form](QPointF f) {
            return QPoint(static_cast<int>(f.x() * form->width()),
                          static_cast<int>(f.y() * form->height()));
        };
        QSignalSpy clicked(form, &TWashForm::clicked);
        QTest::mousePress(form, button, {}, at(press));
        QTest::mouseRelease(form, button, {}, at(release));
        QCOMPARE(clicked.count(), clicks);
    }

    void closeReleasesOnceAndDeletesLater_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("window system close") << QStringLiteral("window system");
        QTest::newRow("close()") << QStringLiteral("close");
        QTest::newRow("closed twice") << QStringLiteral("twice");
        QTest::newRow("closed from its own key signal") << QStringLiteral("key");
        QTest::newRow("closed from its own click signal") << QStringLiteral("click");
    }
    void closeReleasesOnceAndDeletesLater()
    {
        QFETCH(QString, how);
        TWashForm *form = ShownOn(QStringLiteral("A"));
        QVERIFY(form);
        QPointer<TWashForm> alive(form);
        int released = 0;
        bool hiddenWhenReleased = false;
        connect(form, &TWashForm::released, this, [&](TWashForm *f) {
            ++released;
            QCOMPARE(f, form);
            hiddenWhenReleased = f->isHidden();
        });
        connect(form, &TWashForm::keyDown, form, [form] { form->close(); });
        connect(form, &TWashForm::clicked, form, [form] { form->close(); });

        if (how == QLatin1String("window system")) {
            form->windowHandle()->close();
        } else if (how == QLatin1String("close")) {
            form->close();
        } else if (how == QLatin1String("twice")) {
            form->close();
            form->close();
        } else if (how == QLatin1String("key")) {
            QTest::keyClick(form, Qt::Key_Escape);
        } else {
            QTest::mouseClick(form, Qt::LeftButton);
        }

        QVERIFY(alive);
        QVERIFY(alive->isHidden());
        QCOMPARE(released, 1);
        QVERIFY(hiddenWhenReleased);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);
    }

    void closesWhenItsMonitorGoesAway_data() { ScreenRows(); }
    void closesWhenItsMonitorGoesAway()
    {
        QFETCH(QString, screen);
        std::vector<QPointer<TWashForm>> forms;
        std::vector<std::unique_ptr<QSignalSpy>> released;
        for (QScreen *s : QGuiApplication::screens()) {
            forms.emplace_back(ShownOn(s->name()));
            QVERIFY(forms.back());
            released.push_back(std::make_unique<QSignalSpy>(forms.back(), &TWashForm::released));
        }
        const auto names = [&] {
            QStringList n;
            for (const auto &f : forms)
                n << f->screen()->name();
            return n;
        }();

        QVERIFY(SetScreenConfiguration(
            EditedScreen(initialScreens, screen, [](QJsonObject &) { return false; })));
        QVERIFY(!ScreenNamed(screen));

        for (size_t i = 0; i < forms.size(); ++i) {
            const bool gone = names[static_cast<qsizetype>(i)] == screen;
            QCOMPARE(released[i]->count(), gone ? 1 : 0);
            QCOMPARE(forms[i]->isVisible(), !gone);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (size_t i = 0; i < forms.size(); ++i)
            QCOMPARE(forms[i].isNull(), names[static_cast<qsizetype>(i)] == screen);
    }

    // `native` is the monitor's new rectangle in device pixels; the window is to take the
    // monitor's new logical rectangle and a bitmap of its physical size.
    void followsItsMonitorsGeometry_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QRect>("native");
        QTest::newRow("A shrinks") << QStringLiteral("A") << QRect(0, 0, 1000, 600);
        QTest::newRow("A grows") << QStringLiteral("A") << QRect(0, 0, 3840, 2160);
        QTest::newRow("B moves and grows") << QStringLiteral("B") << QRect(6000, 100, 3000, 2000);
    }
    void followsItsMonitorsGeometry()
    {
        QFETCH(QString, screen);
        QFETCH(QRect, native);
        TWashForm *form = ShownOn(screen);
        QVERIFY(form);
        QScreen *monitor = form->screen();
        const QRect before = monitor->geometry();
        const qreal dpr = form->devicePixelRatio();
        form->RenderFrame(1, 1, 2, 2, 7);

        QVERIFY(SetScreenConfiguration(EditedScreen(initialScreens, screen, [&](QJsonObject &s) {
            s[QStringLiteral("x")] = native.x();
            s[QStringLiteral("y")] = native.y();
            s[QStringLiteral("width")] = native.width();
            s[QStringLiteral("height")] = native.height();
            return true;
        })));
        QTRY_VERIFY(monitor->geometry() != before);
        QTRY_COMPARE(form->geometry(), monitor->geometry());
        const QSize size = monitor->geometry().size() * dpr;
        QImage black(size, QImage::Format_RGB32);
        black.fill(Qt::black);
        QCOMPARE(OnScreen(*form), black);

        const Frame next{1, 1, 2, 2, 8};
        form->RenderFrame(next.HBars, next.VBars, next.ScanRate, next.BarSize, next.FrameCounter);
        QCOMPARE(OnScreen(*form), Expected(size, next));
    }
};

int main(int argc, char *argv[])
{
#ifdef GSW_SCALED_SCREENS
    // Monitor A at 200 %, B at 150 %, by Qt's own scaling: the offscreen backing store then
    // holds the physical pixels, as a real one does.
    qputenv("QT_SCREEN_SCALE_FACTORS", "A=2;B=1.5");
#endif
    QApplication app(argc, argv);
    TestWashForm test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_washform.moc"
