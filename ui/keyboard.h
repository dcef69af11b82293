#pragma once

class QAbstractButton;
class QColor;
class QPainter;
class QRect;

/// Lets Return and Enter press `button` while it has the keyboard focus, as Space does. Push
/// buttons take Return by themselves only as a dialog's default button, which would also draw
/// them as one.
void PressOnReturn(QAbstractButton *button);

/// The focus rectangle of an item or a text the program draws itself: dotted, one pixel on and
/// one off, on the inner edge of `rect`, in `colour`, which contrasts with what lies beneath.
void DrawFocusRectangle(QPainter &painter, const QRect &rect, const QColor &colour);
