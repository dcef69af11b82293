#include "wash/washregions.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

// Each list is sorted and merged, so a point lies in the symmetric difference exactly when an
// odd number of span edges lie at or before it: the result is the gaps between the 1st and
// 2nd, 3rd and 4th... sorted edge.
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

// A frame is black crossed by white full-height columns and full-width rows, so a pixel can
// change only where its column or its row changed colour. The widened logical span, scaled
// back by dpr, still contains [a, b) once the paint system rounds it to whole device pixels
// (any rounding that keeps whole numbers).
QRegion ChangedRegion(const BarSpans &shown, const BarSpans &next, qreal dpr, QSize size)
{
    const auto logical = [dpr](const std::pair<int32_t, int32_t> &span) {
        const auto from = static_cast<int>(std::floor(span.first / dpr));
        const auto to = static_cast<int>(std::ceil(span.second / dpr));
        return std::pair{from, to - from};
    };

    QRegion region;
    for (const auto &span : SymmetricDifference(shown.columns, next.columns)) {
        const auto [x, w] = logical(span);
        region += QRect(x, 0, w, size.height());
    }
    for (const auto &span : SymmetricDifference(shown.rows, next.rows)) {
        const auto [y, h] = logical(span);
        region += QRect(0, y, size.width(), h);
    }
    return region & QRect(QPoint(0, 0), size);
}
