#include "app/windowplacement.h"

#include <algorithm>
#include <cstdlib>

QPoint SnapToWorkArea(const QRect &frame, const QRect &workArea, int buffer)
{
    QPoint at = frame.topLeft();
    if (std::abs(frame.left() - workArea.left()) <= buffer)
        at.setX(workArea.left());
    else if (std::abs(frame.right() - workArea.right()) <= buffer)
        at.setX(workArea.right() - frame.width() + 1);
    if (std::abs(frame.top() - workArea.top()) <= buffer)
        at.setY(workArea.top());
    else if (std::abs(frame.bottom() - workArea.bottom()) <= buffer)
        at.setY(workArea.bottom() - frame.height() + 1);
    return at;
}

QPoint PlaceInWorkArea(const QRect &frame, const QRect &workArea)
{
    const QPoint inside(std::min(frame.left(), workArea.right() - frame.width() + 1),
                        std::min(frame.top(), workArea.bottom() - frame.height() + 1));
    return {std::max(inside.x(), workArea.left()), std::max(inside.y(), workArea.top())};
}
