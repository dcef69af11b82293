#pragma once

#include <QPoint>
#include <QRect>

/// Where a window whose frame would stand at `frame` is put so that an edge within `buffer`
/// pixels of the work area's matching edge lies on it. Left wins over right and top over bottom
/// when both are near; edges already past the work area snap back while within `buffer`.
QPoint SnapToWorkArea(const QRect &frame, const QRect &workArea, int buffer = 10);

/// Where a window whose frame would stand at `frame` is put so that it lies inside `workArea`:
/// moved up and left as far as it sticks out, and never above or left of the area, so a frame
/// larger than the area keeps its top-left corner on it.
QPoint PlaceInWorkArea(const QRect &frame, const QRect &workArea);
