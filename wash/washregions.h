#pragma once

#include "wash/renderbars.h"

#include <QList>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <utility>

using Spans = QList<std::pair<int32_t, int32_t>>;

/// The pixels inside exactly one of `a` and `b`, two lists of half-open spans each sorted and
/// merged; spans that touch in the result stay separate.
Spans SymmetricDifference(const Spans &a, const Spans &b);

/// A few rectangles that cover `region`: its rectangles as wide as `width` as they are, every
/// other one stretched over the rows from the first to the last rectangle of its columns. The
/// cover may exceed the region, never miss a pixel of it.
QList<QRect> Pieces(const QRegion &region, int width);

/// The logical area of a `size` window at ratio `dpr` whose physical pixels may differ between
/// the frames `shown` and `next`: the columns and rows that changed colour, each physical span
/// [a, b) widened to [floor(a / dpr), ceil(b / dpr)), clipped to the window.
QRegion ChangedRegion(const BarSpans &shown, const BarSpans &next, qreal dpr, QSize size);
