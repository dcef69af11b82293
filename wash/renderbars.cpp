#include "wash/renderbars.h"

#include <algorithm>
#include <cstring>

namespace {

bool Is32BitFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

// Floating-point intermediates are formed as long double, which on x86-64 (and i386) is the
// 80-bit extended format with a 64-bit significand. That precision is part of the pattern:
// on a 640-pixel image with 12 bars the last bar stands at Trunc(11 * s) = 628, where a
// double product would round up to 629. Platforms whose long double is plain double
// (MSVC, AArch64) can differ from it by one pixel in such cases.
using Extended = long double;

// Truncation toward zero; callers keep the value inside the int64 range.
int64_t Trunc(Extended v)
{
    return static_cast<int64_t>(v);
}

// The low 32 bits of a truncated value, as the signed 32-bit pixel coordinate they become.
int32_t Low32(int64_t v)
{
    return static_cast<int32_t>(v);
}

// Bar thickness: `width` div (count x divisor) as 32-bit arithmetic, at least one pixel.
// A count so large that the 32-bit product wraps to zero or below gets the minimum.
int32_t Thickness(int32_t width, int32_t count, int32_t divisor)
{
    const auto product =
        static_cast<int32_t>(static_cast<uint32_t>(count) * static_cast<uint32_t>(divisor));
    if (product <= 0)
        return 1;
    return std::max(width / product, 1);
}

// Distance from one bar's start to the next, less the bar: extent / (count - 1) - thickness,
// formed in extended precision and then held as a double.
double Spacing(int32_t extent, int32_t count, int32_t thickness)
{
    if (count == 1)
        return static_cast<double>(int64_t{extent} - thickness);
    return static_cast<double>(Extended(extent) / (count - 1) - thickness);
}

// Trunc(FrameCounter x m) mod extent, a remainder with the sign of the dividend. Every
// multiplier is an exact power of two, so the extended product is exact and its truncation
// is integer scaling. Reducing the counter first keeps the scaled value small, so counters
// past 2^61 at "Very Fast", whose product leaves the int64 range, still give the exact
// remainder; ((a mod n) x b) mod n equals (a x b) mod n for b > 0 with these signs.
int64_t Offset(int64_t frame, double multiplier, int32_t extent)
{
    if (multiplier >= 1.0)
        return (frame % extent) * static_cast<int64_t>(multiplier) % extent;
    return frame / static_cast<int64_t>(1.0 / multiplier) % extent;
}

// The fills of one direction of bars. `extent` is the length the bars move along
// (width for vertical bars, height for horizontal ones); `width` sets their thickness.
void EmitBars(Qt::Orientation orientation, int32_t extent, int32_t width, int32_t count,
              int32_t divisor, double multiplier, int64_t frame,
              const std::function<void(const BarFill &)> &fill)
{
    if (count <= 0)
        return;
    const int32_t t = Thickness(width, count, divisor);
    const double s = Spacing(extent, count, t);
    const int64_t off = Offset(frame, multiplier, extent);
    const auto put = [&](int32_t x) {
        fill({orientation, x, int64_t{x} + t});
    };

    if (s > 0) {
        // A positive spacing means (count - 1) x t < extent, so the loop is bounded by the
        // image's size however large the count.
        const int64_t k = Trunc(extent / Extended(s));
        const int64_t back = Trunc(Extended(k) * s + s);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t x = Low32(off + Trunc(i * Extended(s)));
            put(x);
            if (int64_t{x} + t > extent) // strictly: a bar ending on the far edge has no copy
                put(Low32(x - back));
        }
        return;
    }

    // A spacing of zero or less only comes from an image too small for its bar count (at
    // most count - 1 pixels along, or far wider than high with many horizontal bars). The
    // wrap-around distance extent / s means nothing there, so these bars get no wrap-around
    // copy: each stands at or before the one drawn before it, identical bars are drawn once,
    // and drawing stops at the first bar that lies wholly before the near edge.
    for (int32_t i = 0; i < count; ++i) {
        const int64_t x = off + Trunc(i * Extended(s));
        if (i > 0 && x + t <= 0)
            break;
        put(Low32(x));
        if (s == 0)
            break;
    }
}

// Clips fills of one direction to [0, extent) and merges them into sorted spans.
QList<std::pair<int32_t, int32_t>> MergedSpans(QList<std::pair<int64_t, int64_t>> fills,
                                               int32_t extent)
{
    std::sort(fills.begin(), fills.end());
    QList<std::pair<int32_t, int32_t>> spans;
    for (const auto &[from, to] : fills) {
        const auto a = static_cast<int32_t>(std::max<int64_t>(from, 0));
        const auto b = static_cast<int32_t>(std::min<int64_t>(to, extent));
        if (a >= b)
            continue;
        if (!spans.isEmpty() && a <= spans.back().second)
            spans.back().second = std::max(spans.back().second, b);
        else
            spans.append({a, b});
    }
    return spans;
}

} // namespace

int32_t SanitizedTableIndex(int32_t index)
{
    return index >= 0 && index <= 4 ? index : 2;
}

void ForEachBarFill(int32_t width, int32_t height, int32_t HBars, int32_t VBars, int32_t ScanRate,
                    int32_t BarSize, int64_t FrameCounter,
                    const std::function<void(const BarFill &)> &fill)
{
    if (width <= 0 || height <= 0)
        return;
    const double m = ScanRateTable[SanitizedTableIndex(ScanRate)];
    const int32_t d = BarSizeTable[SanitizedTableIndex(BarSize)];
    EmitBars(Qt::Vertical, width, width, VBars, d, m, FrameCounter, fill);
    // Horizontal bars take their thickness from the width too, not from the height.
    EmitBars(Qt::Horizontal, height, width, HBars, d, m, FrameCounter, fill);
}

BarSpans ComputeBarSpans(int32_t width, int32_t height, int32_t HBars, int32_t VBars,
                         int32_t ScanRate, int32_t BarSize, int64_t FrameCounter)
{
    QList<std::pair<int64_t, int64_t>> columns;
    QList<std::pair<int64_t, int64_t>> rows;
    ForEachBarFill(width, height, HBars, VBars, ScanRate, BarSize, FrameCounter,
                   [&](const BarFill &f) {
                       (f.orientation == Qt::Vertical ? columns : rows).append({f.from, f.to});
                   });
    return {MergedSpans(std::move(columns), width), MergedSpans(std::move(rows), height)};
}

void RenderBars(QImage &Image, int32_t HBars, int32_t VBars, int32_t ScanRate, int32_t BarSize,
                int64_t FrameCounter)
{
    if (Image.isNull())
        return;
    PaintBarSpans(Image, ComputeBarSpans(Image.width(), Image.height(), HBars, VBars, ScanRate,
                                         BarSize, FrameCounter));
}

void PaintBarSpans(QImage &Image, const BarSpans &spans)
{
    if (Image.isNull())
        return;
    if (!Is32BitFormat(Image.format()))
        Image.convertTo(QImage::Format_RGB32);
    PaintBarSpans(Image, spans, Image.rect());
}

bool PaintBarSpans(QImage &Image, const BarSpans &spans, const QRect &area)
{
    if (!Is32BitFormat(Image.format()))
        return false;
    const QRect r = area & Image.rect();
    if (r.isEmpty())
        return true;

    constexpr QRgb black = 0xff000000;
    constexpr QRgb white = 0xffffffff;
    const int32_t left = r.left();
    const int32_t right = r.right() + 1;
    const int32_t w = r.width();

    // All bars are white on black, so the frame is a set of white columns and white rows.
    // It is written in one pass: a row under a horizontal bar is white, every other row is a
    // copy of the first such row, which holds the vertical bars. Each pixel is written once,
    // which keeps a frame close to the cost of a plain fill.
    uchar *const bits = Image.bits();
    const qsizetype stride = Image.bytesPerLine();
    const auto line = [&](int32_t y) {
        return reinterpret_cast<QRgb *>(bits + y * stride) + left;
    };
    const auto lineBytes = static_cast<size_t>(w) * sizeof(QRgb);
    int32_t templateRow = -1;
    auto rowSpan = spans.rows.cbegin();
    for (int32_t y = r.top(); y <= r.bottom(); ++y) {
        while (rowSpan != spans.rows.cend() && rowSpan->second <= y)
            ++rowSpan;
        QRgb *const row = line(y);
        if (rowSpan != spans.rows.cend() && rowSpan->first <= y) {
            std::fill_n(row, w, white);
        } else if (templateRow < 0) {
            std::fill_n(row, w, black);
            for (const auto &[from, to] : spans.columns) {
                std::fill(row + std::clamp(from, left, right) - left,
                          row + std::clamp(to, left, right) - left, white);
            }
            templateRow = y;
        } else {
            std::memcpy(row, line(templateRow), lineBytes);
        }
    }
    return true;
}
