#include "wash/renderbars.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <limits>
#include <vector>

namespace {

constexpr QRgb Black = 0xff000000;
constexpr QRgb White = 0xffffffff;

QList<BarFill> BarFills(int32_t width, int32_t height, int32_t HBars, int32_t VBars,
                        int32_t ScanRate, int32_t BarSize, int64_t FrameCounter)
{
    QList<BarFill> fills;
    ForEachBarFill(width, height, HBars, VBars, ScanRate, BarSize, FrameCounter,
                   [&](const BarFill &f) { fills.append(f); });
    return fills;
}

// A fill rectangle as (left, top, right, bottom), right and bottom exclusive.
struct Rect {
    int64_t l, t, r, b;
    friend bool operator==(const Rect &, const Rect &) = default;
    friend std::ostream &operator<<(std::ostream &os, const Rect &x)
    {
        return os << '(' << x.l << ", " << x.t << ", " << x.r << ", " << x.b << ')';
    }
};

std::vector<Rect> AsRects(const QList<BarFill> &fills, int64_t w, int64_t h)
{
    std::vector<Rect> rects;
    for (const BarFill &f : fills)
        rects.push_back(f.orientation == Qt::Vertical ? Rect{f.from, 0, f.to, h}
                                                      : Rect{0, f.from, w, f.to});
    return rects;
}

// The plain reading of the pattern: clear to black, then fill each rectangle, clipped.
QImage PaintNaively(int w, int h, const std::vector<Rect> &rects)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Black);
    for (const Rect &r : rects)
        for (int64_t y = std::max<int64_t>(r.t, 0); y < std::min<int64_t>(r.b, h); ++y)
            for (int64_t x = std::max<int64_t>(r.l, 0); x < std::min<int64_t>(r.r, w); ++x)
                img.setPixel(static_cast<int>(x), static_cast<int>(y), White);
    return img;
}

QImage Render(int w, int h, int32_t hbars, int32_t vbars, int32_t rate, int32_t size, int64_t frame)
{
    QImage img(w, h, QImage::Format_RGB32);
    RenderBars(img, hbars, vbars, rate, size, frame);
    return img;
}

// Left edges of the vertical bars' first rectangles, in order.
std::vector<int64_t> VerticalStarts(int w, int h, int32_t vbars, int32_t rate, int32_t size,
                                    int64_t frame)
{
    std::vector<int64_t> starts;
    const QList<BarFill> fills = BarFills(w, h, 0, vbars, rate, size, frame);
    for (qsizetype i = 0; i < fills.size(); ++i) {
        starts.push_back(fills[i].from);
        if (fills[i].to > w) // skip the wrap-around copy that follows
            ++i;
    }
    return starts;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The worked examples on the 192 x 108 preview: the fill list in order, and the pixels.

struct WorkedExample {
    const char *name;
    int32_t hbars, vbars, rate, size;
    int64_t frame;
    std::vector<Rect> rects;
};

class WorkedExamples : public testing::TestWithParam<WorkedExample> {};

TEST_P(WorkedExamples, FillsAndPixels)
{
    const WorkedExample &e = GetParam();
    const QList<BarFill> fills = BarFills(192, 108, e.hbars, e.vbars, e.rate, e.size, e.frame);
    EXPECT_EQ(AsRects(fills, 192, 108), e.rects);
    EXPECT_EQ(Render(192, 108, e.hbars, e.vbars, e.rate, e.size, e.frame),
              PaintNaively(192, 108, e.rects));
}

INSTANTIATE_TEST_SUITE_P(
    Preview, WorkedExamples,
    testing::Values(
        // One vertical bar, Normal/Normal: t = 12, s = 180, copy at x - 360.
        WorkedExample{"OneBar_f0", 0, 1, 2, 2, 0, {{0, 0, 12, 108}}},
        WorkedExample{"OneBar_f1", 0, 1, 2, 2, 1, {{1, 0, 13, 108}}},
        WorkedExample{"OneBar_f2", 0, 1, 2, 2, 2, {{2, 0, 14, 108}}},
        WorkedExample{"OneBar_EndsOnFarEdge_NoCopy", 0, 1, 2, 2, 180, {{180, 0, 192, 108}}},
        WorkedExample{"OneBar_OnePastFarEdge_Copy",
                      0,
                      1,
                      2,
                      2,
                      181,
                      {{181, 0, 193, 108}, {-179, 0, -167, 108}}},
        WorkedExample{"OneBar_f191", 0, 1, 2, 2, 191, {{191, 0, 203, 108}, {-169, 0, -157, 108}}},
        WorkedExample{"OneBar_CycleRestarts", 0, 1, 2, 2, 192, {{0, 0, 12, 108}}},
        WorkedExample{"OneBar_Counter2Pow32", 0, 1, 2, 2, int64_t{1} << 32, {{64, 0, 76, 108}}},
        // Two vertical bars and one horizontal bar.
        WorkedExample{
            "TwoByOne_f0", 1, 2, 2, 2, 0, {{0, 0, 6, 108}, {186, 0, 192, 108}, {0, 0, 192, 12}}},
        WorkedExample{"TwoByOne_f1",
                      1,
                      2,
                      2,
                      2,
                      1,
                      {{1, 0, 7, 108}, {187, 0, 193, 108}, {-185, 0, -179, 108}, {0, 1, 192, 13}}},
        WorkedExample{"TwoByOne_f100",
                      1,
                      2,
                      2,
                      2,
                      100,
                      {{100, 0, 106, 108},
                       {286, 0, 292, 108},
                       {-86, 0, -80, 108},
                       {0, 100, 192, 112},
                       {0, -92, 192, -80}}},
        WorkedExample{"TwoByOne_f191",
                      1,
                      2,
                      2,
                      2,
                      191,
                      {{191, 0, 197, 108},
                       {-181, 0, -175, 108},
                       {377, 0, 383, 108},
                       {5, 0, 11, 108},
                       {0, 83, 192, 95}}},
        // Four vertical bars: t = 3, s = 61, copy at x - 244.
        WorkedExample{"FourBars_f100",
                      0,
                      4,
                      2,
                      2,
                      100,
                      {{100, 0, 103, 108},
                       {161, 0, 164, 108},
                       {222, 0, 225, 108},
                       {-22, 0, -19, 108},
                       {283, 0, 286, 108},
                       {39, 0, 42, 108}}},
        // Very Fast, Very Large: t = 24, s = 168, four pixels a tick.
        WorkedExample{"VeryFast_f1", 0, 1, 4, 4, 1, {{4, 0, 28, 108}}},
        WorkedExample{"VeryFast_f47", 0, 1, 4, 4, 47, {{188, 0, 212, 108}, {-148, 0, -124, 108}}},
        WorkedExample{"VeryFast_f48", 0, 1, 4, 4, 48, {{0, 0, 24, 108}}},
        // A single horizontal bar is 192 div 16 = 12 rows thick: from the width, not 108 div 16.
        WorkedExample{"HorizontalThicknessFromWidth", 1, 0, 2, 2, 0, {{0, 0, 192, 12}}}),
    [](const testing::TestParamInfo<WorkedExample> &p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------
// Where the bars stand at FrameCounter 0.

struct Positions {
    const char *name;
    int w;
    int32_t vbars, size;
    std::vector<int64_t> starts;
};

class BarPositions : public testing::TestWithParam<Positions> {};

TEST_P(BarPositions, AtFrameZero)
{
    const Positions &p = GetParam();
    EXPECT_EQ(VerticalStarts(p.w, 108, p.vbars, 2, p.size, 0), p.starts);
    // Every listed start is a white column, the column before it (if any) black.
    const QImage img = Render(p.w, 108, 0, p.vbars, 2, p.size, 0);
    for (int64_t x : p.starts) {
        EXPECT_EQ(img.pixel(static_cast<int>(x), 50), White) << x;
        if (x > 0) {
            EXPECT_EQ(img.pixel(static_cast<int>(x) - 1, 50), Black) << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Frame0, BarPositions,
    testing::Values(
        // t = 192 div 960 = 0, raised to 1; s = 192 / 19 - 1.
        Positions{"OnePixelMinimum", 192, 20, 0, {0,  9,   18,  27,  36,  45,  54,  63,  72,  81,
                                                  91, 100, 109, 118, 127, 136, 145, 154, 163, 172}},
        // 11 x s lies just below 629 in extended precision; a double product would give 629.
        Positions{"ExtendedPrecision",
                  640,
                  12,
                  0,
                  {0, 57, 114, 171, 228, 285, 343, 400, 457, 514, 571, 628}},
        // Two bars: the second ends exactly on the far edge.
        Positions{"TwoBarsSpanTheImage", 1920, 2, 2, {0, 1860}}),
    [](const testing::TestParamInfo<Positions> &p) { return std::string(p.param.name); });

TEST(BarPositions, OnePixelBarsAreOnePixelWide)
{
    const QImage img = Render(192, 108, 0, 20, 2, 0, 0);
    EXPECT_EQ(img.pixel(0, 0), White);
    EXPECT_EQ(img.pixel(1, 0), Black);
    EXPECT_EQ(img.pixel(9, 107), White);
    EXPECT_EQ(img.pixel(10, 107), Black);
}

// ---------------------------------------------------------------------------------------
// Movement with the counter.

TEST(Movement, VerySlowMovesOnePixelEveryFourthTick)
{
    const struct {
        int64_t firstFrame, lastFrame, x;
    } rows[] = {{0, 3, 0}, {4, 7, 1}, {764, 767, 191}, {768, 768, 0}};
    for (const auto &row : rows)
        for (int64_t f = row.firstFrame; f <= row.lastFrame; ++f)
            EXPECT_EQ(VerticalStarts(192, 108, 1, 0, 2, f).front(), row.x) << "frame " << f;
}

TEST(Movement, LargeCountersKeepTheFullRemainder)
{
    // The bar stands at Trunc(frame x m) mod W for counters far past 2^32, including where
    // frame x 4 no longer fits 64 bits.
    const struct {
        int64_t frame;
        int32_t rate;
        int64_t x;
    } rows[] = {
        {int64_t{1} << 32, 2, (int64_t{1} << 32) % 192},
        {(int64_t{1} << 32) + 5, 2, ((int64_t{1} << 32) + 5) % 192},
        {int64_t{1} << 40, 0, ((int64_t{1} << 40) / 4) % 192},
        {int64_t{1} << 40, 3, ((int64_t{1} << 40) * 2) % 192},
        {std::numeric_limits<int64_t>::max(), 2, std::numeric_limits<int64_t>::max() % 192},
        // (2^63 - 1) x 4 = 2^65 - 4; 2^65 mod 192 = 128, so the remainder is 124.
        {std::numeric_limits<int64_t>::max(), 4, 124},
        {std::numeric_limits<int64_t>::max(), 0, (std::numeric_limits<int64_t>::max() / 4) % 192},
    };
    for (const auto &row : rows)
        EXPECT_EQ(VerticalStarts(192, 108, 1, row.rate, 2, row.frame).front(), row.x)
            << row.frame << " rate " << row.rate;
}

TEST(Movement, HorizontalBarsCycleOverTheHeight)
{
    // One horizontal bar on the preview: s = 96, cycle of 108 ticks, copy at y - 192.
    const struct {
        int64_t frame;
        std::vector<Rect> rects;
    } rows[] = {{96, {{0, 96, 192, 108}}},
                {97, {{0, 97, 192, 109}, {0, -95, 192, -83}}},
                {108, {{0, 0, 192, 12}}}};
    for (const auto &row : rows) {
        EXPECT_EQ(AsRects(BarFills(192, 108, 1, 0, 2, 2, row.frame), 192, 108), row.rects);
        EXPECT_EQ(Render(192, 108, 1, 0, 2, 2, row.frame), PaintNaively(192, 108, row.rects));
    }
}

// ---------------------------------------------------------------------------------------
// Every speed and every bar size, through the painted pattern: one vertical bar on an image
// 960 pixels wide is 960 div d wide and stands at Trunc(frame x m) mod 960.

TEST(Tables, EverySpeedAndBarSizeShowsInThePattern)
{
    const struct {
        const char *entry;
        int32_t rate, size;
        int64_t frame, left, right;
    } rows[] = {
        // The speeds at frame 100, with bars 960 div 16 = 60 wide.
        {"speed 0: m = 0.25", 0, 2, 100, 25, 85},
        {"speed 1: m = 0.5", 1, 2, 100, 50, 110},
        {"speed 2: m = 1", 2, 2, 100, 100, 160},
        {"speed 3: m = 2", 3, 2, 100, 200, 260},
        {"speed 4: m = 4", 4, 2, 100, 400, 460},
        // The bar sizes at frame 0.
        {"size 0: d = 48", 2, 0, 0, 0, 20},
        {"size 1: d = 32", 2, 1, 0, 0, 30},
        {"size 2: d = 16", 2, 2, 0, 0, 60},
        {"size 3: d = 12", 2, 3, 0, 0, 80},
        {"size 4: d = 8", 2, 4, 0, 0, 120},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Render(960, 4, 0, 1, row.rate, row.size, row.frame),
                  PaintNaively(960, 4, {{row.left, 0, row.right, 4}}))
            << row.entry;
}

// ---------------------------------------------------------------------------------------
// The one-pass painter against the plain reading of the fills, over many shapes.

TEST(Painting, MatchesTheFillsOverManyShapes)
{
    const QSize sizes[] = {{192, 108}, {1, 1}, {7, 3}, {640, 20}, {33, 200}, {300, 2}};
    const int32_t counts[] = {-1, 0, 1, 2, 3, 7, 20, 50};
    const int64_t frames[] = {0, 1, 181, 1000, 123457, -5};
    for (const QSize &size : sizes)
        for (int32_t v : counts)
            for (int32_t hb : {0, 1, 4, 20})
                for (int32_t rate : {0, 4})
                    for (int32_t bs : {0, 2, 4})
                        for (int64_t f : frames) {
                            const int w = size.width(), h = size.height();
                            const auto rects = AsRects(BarFills(w, h, hb, v, rate, bs, f), w, h);
                            ASSERT_EQ(Render(w, h, hb, v, rate, bs, f), PaintNaively(w, h, rects))
                                << w << "x" << h << " v" << v << " h" << hb << " r" << rate << " s"
                                << bs << " f" << f;
                        }
}

TEST(Painting, NoBarsGiveAnAllBlackImage)
{
    for (int32_t v : {0, -1, std::numeric_limits<int32_t>::min()})
        for (int32_t hb : {0, -7, std::numeric_limits<int32_t>::min()}) {
            QImage img(192, 108, QImage::Format_RGB32);
            img.fill(White);
            RenderBars(img, hb, v, 2, 2, 77);
            QImage black(192, 108, QImage::Format_RGB32);
            black.fill(Black);
            EXPECT_EQ(img, black) << v << " " << hb;
        }
}

TEST(Painting, SameInputsSameImageWhateverItHeldBefore)
{
    QImage a(192, 108, QImage::Format_RGB32);
    QImage b(192, 108, QImage::Format_ARGB32_Premultiplied);
    a.fill(White);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, QRandomGenerator::global()->generate() | 0xff000000u);
    RenderBars(a, 3, 5, 1, 3, 4242);
    RenderBars(b, 3, 5, 1, 3, 4242);
    EXPECT_EQ(a, b.convertToFormat(QImage::Format_RGB32));
    QImage c = a;
    RenderBars(c, 3, 5, 1, 3, 4242);
    EXPECT_EQ(a, c);
}

TEST(Painting, SpansPaintClippedToTheImage)
{
    // Spans made for another size must not write outside this image.
    QImage img(10, 4, QImage::Format_RGB32);
    PaintBarSpans(img, BarSpans{{{-3, 1}, {8, 30}}, {{-5, 1}, {3, 99}}});
    const std::vector<Rect> expected{{-3, 0, 1, 4}, {8, 0, 30, 4}, {0, -5, 10, 1}, {0, 3, 10, 99}};
    EXPECT_EQ(img, PaintNaively(10, 4, expected));
}

TEST(Painting, OtherFormatsAreConvertedTo32Bits)
{
    QImage img(192, 108, QImage::Format_RGB888);
    RenderBars(img, 1, 1, 2, 2, 0);
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    EXPECT_EQ(img, Render(192, 108, 1, 1, 2, 2, 0));
}

TEST(Painting, SpansDescribeThePaintedPixels)
{
    // Two vertical bars and one horizontal bar at FrameCounter 191: fills (191, 197),
    // (-181, -175), (377, 383), (5, 11) and rows (83, 95), clipped and sorted.
    const BarSpans spans = ComputeBarSpans(192, 108, 1, 2, 2, 2, 191);
    using Spans = QList<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(spans.columns, (Spans{{5, 11}, {191, 192}}));
    EXPECT_EQ(spans.rows, (Spans{{83, 95}}));
    // Touching bars merge: ten one-pixel bars on 20 pixels stand at 0-4, 6-9 and 11.
    EXPECT_EQ(ComputeBarSpans(20, 4, 0, 10, 2, 0, 0).columns, (Spans{{0, 5}, {6, 10}, {11, 12}}));
}

// ---------------------------------------------------------------------------------------
// Values an edited settings file can bring in: defined, bounded, no undefined behaviour.

TEST(HostileValues, OutOfRangeIndicesPaintLikeNormal)
{
    const int32_t bad[] = {-1, 5, 100, std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max()};
    const QImage normal = Render(192, 108, 2, 3, 2, 2, 517);
    for (int32_t rate : bad)
        EXPECT_EQ(Render(192, 108, 2, 3, rate, 2, 517), normal) << "rate " << rate;
    for (int32_t size : bad)
        EXPECT_EQ(Render(192, 108, 2, 3, 2, size, 517), normal) << "size " << size;
    EXPECT_EQ(Render(192, 108, 2, 3, 5, 2, 517), Render(192, 108, 2, 3, -5, -1, 517));
}

TEST(HostileValues, HugeCountsAreBoundedByTheImage)
{
    // A count of n gives n loop steps only while the bars fit; past that the work is bounded
    // by the image's size, so the number of fills is too.
    const struct {
        const char *name;
        int w, h;
        int32_t hbars, vbars, size;
    } rows[] = {
        {"MaxBothWays", 192, 108, std::numeric_limits<int32_t>::max(),
         std::numeric_limits<int32_t>::max(), 2},
        {"ProductWrapsToZero", 192, 108, 1 << 28, 1 << 28, 2},      // 2^28 x 16 = 2^32
        {"ProductWrapsNegative", 192, 108, 1 << 27, 1 << 27, 2},    // 2^27 x 16 = 2^31
        {"ProductWrapsSmall", 1920, 1080, 268435457, 268435457, 2}, // wraps to 16: thick bars
        {"MaxOnWideImage", 3840, 100, std::numeric_limits<int32_t>::max(), 0, 4},
    };
    for (const auto &row : rows) {
        const QList<BarFill> fills =
            BarFills(row.w, row.h, row.hbars, row.vbars, 2, row.size, 987654321);
        EXPECT_LE(fills.size(), 2 * (row.w + row.h) + 4) << row.name;
        const auto rects = AsRects(fills, row.w, row.h);
        EXPECT_EQ(Render(row.w, row.h, row.hbars, row.vbars, 2, row.size, 987654321),
                  PaintNaively(row.w, row.h, rects))
            << row.name;
    }
}

TEST(HostileValues, DegenerateSpacingStacksBarsWithoutWrapCopies)
{
    // Nine bars on a 2-pixel image: t = 1, s = 2/8 - 1 < 0. Bars stand at off + Trunc(i x s)
    // and get no wrap-around copy; the first that lies wholly left of the image ends the row.
    EXPECT_EQ(AsRects(BarFills(2, 2, 0, 9, 2, 2, 1), 2, 2),
              (std::vector<Rect>{{1, 0, 2, 2}, {1, 0, 2, 2}, {0, 0, 1, 2}}));
    // s = 0: five bars on a 4-pixel image at Very Large (t = 4 div 40 -> 1, s = 4/4 - 1):
    // every bar coincides, so one fill.
    EXPECT_EQ(AsRects(BarFills(4, 2, 0, 5, 2, 4, 3), 4, 2), (std::vector<Rect>{{3, 0, 4, 2}}));
    // A flat image with many horizontal bars: t = 1000 div 320 = 3 from the width,
    // s = 5 / 19 - 3 < 0. Rows 4 and up are white where bars stack back from the offset.
    const QImage img = Render(1000, 5, 20, 0, 2, 2, 4);
    const auto rects = AsRects(BarFills(1000, 5, 20, 0, 2, 2, 4), 1000, 5);
    EXPECT_EQ(img, PaintNaively(1000, 5, rects));
    EXPECT_EQ(img.pixel(500, 4), White);
    EXPECT_EQ(rects.front(), (Rect{0, 4, 1000, 7}));
}

TEST(HostileValues, TinyAndEmptyImages)
{
    QImage null;
    RenderBars(null, 5, 5, 2, 2, 3);
    EXPECT_TRUE(null.isNull());
    EXPECT_TRUE(BarFills(0, 108, 3, 3, 2, 2, 0).isEmpty());
    EXPECT_TRUE(BarFills(192, 0, 3, 3, 2, 2, 0).isEmpty());
    // One pixel: a single bar covers it at every phase.
    for (int64_t f : {int64_t{0}, int64_t{1}, int64_t{-1}, std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(Render(1, 1, 0, 1, 2, 2, f).pixel(0, 0), White) << f;
}

TEST(HostileValues, NegativeCountersStayDefined)
{
    // The counter never goes below zero in the program; the renderer still gives a defined
    // picture: a remainder with the sign of the dividend puts the bar left of the image.
    const auto rects = AsRects(BarFills(192, 108, 0, 1, 2, 2, -5), 192, 108);
    EXPECT_EQ(rects, (std::vector<Rect>{{-5, 0, 7, 108}}));
    EXPECT_EQ(Render(192, 108, 0, 1, 2, 2, -5), PaintNaively(192, 108, rects));
    EXPECT_NO_FATAL_FAILURE(Render(64, 64, 9, 9, 4, 0, std::numeric_limits<int64_t>::min()));
}
