#pragma once

#include <QImage>
#include <QList>
#include <cstdint>
#include <functional>

/// Speed in pixels per tick, by scan-rate index: "Very Slow" .. "Very Fast".
inline constexpr double ScanRateTable[5] = {0.25, 0.5, 1.0, 2.0, 4.0};
/// Width divisor, by bar-size index: "Very Small" .. "Very Large".
inline constexpr int32_t BarSizeTable[5] = {48, 32, 16, 12, 8};

/// The table index a renderer uses for a stored index: anything outside 0..4 counts as 2,
/// "Normal", so a value from an edited settings file never indexes past a table.
int32_t SanitizedTableIndex(int32_t index);

/// One white fill of a frame, before clipping. A vertical bar covers the columns
/// [from, to) over the full height, a horizontal bar the rows [from, to) over the full width.
struct BarFill {
    Qt::Orientation orientation;
    int64_t from;
    int64_t to;

    friend bool operator==(const BarFill &, const BarFill &) = default;
};

/// Calls `fill` for every white fill of one frame of the wash pattern on an image of
/// `width` x `height`, in painting order: all vertical bars, then all horizontal bars,
/// each bar's wrap-around copy straight after it. Fills are unclipped and may lie
/// wholly outside the image. See RenderBars for what is painted.
void ForEachBarFill(int32_t width, int32_t height, int32_t HBars, int32_t VBars, int32_t ScanRate,
                    int32_t BarSize, int64_t FrameCounter,
                    const std::function<void(const BarFill &)> &fill);

/// The white columns and rows of one frame, clipped to the image, as half-open spans
/// sorted by start and merged where they touch or overlap.
struct BarSpans {
    QList<std::pair<int32_t, int32_t>> columns;
    QList<std::pair<int32_t, int32_t>> rows;

    friend bool operator==(const BarSpans &, const BarSpans &) = default;
};
BarSpans ComputeBarSpans(int32_t width, int32_t height, int32_t HBars, int32_t VBars,
                         int32_t ScanRate, int32_t BarSize, int64_t FrameCounter);

/// Paints a frame from its white columns and rows: black, with the spans white (clipped to
/// the image). RenderBars is ComputeBarSpans followed by this; a caller that needs the spans
/// as well computes them once. Converts `Image` to 32 bits as RenderBars does.
void PaintBarSpans(QImage &Image, const BarSpans &spans);

/// Paints only the pixels of `area` with the frame of `spans`, leaving the rest of `Image`
/// as it is; a frame kept up to date this way needs only the pixels whose colour changes.
/// Writes into the image's own memory, so `Image` must be a 32-bit image (RGB32, ARGB32 or
/// ARGB32_Premultiplied); another format is left alone and the result is false.
bool PaintBarSpans(QImage &Image, const BarSpans &spans, const QRect &area);

/// Paints one frame of the wash pattern: `Image` black, crossed by white bars whose
/// places follow `FrameCounter`. The frame depends only on the image's size, the four
/// settings and the counter; nothing of the image's earlier content survives.
///
/// `Image` must be a 32-bit image (RGB32, ARGB32 or ARGB32_Premultiplied); another format
/// is converted to RGB32 first. A null image is left alone.
void RenderBars(QImage &Image, int32_t HBars, int32_t VBars, int32_t ScanRate, int32_t BarSize,
                int64_t FrameCounter);
