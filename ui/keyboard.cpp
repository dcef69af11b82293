#include "ui/keyboard.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>

namespace {

class TReturnPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if (!key->isAutoRepeat()) // a held key presses once
            static_cast<QAbstractButton *>(watched)->click();
        return true;
    }
};

} // namespace

void PressOnReturn(QAbstractButton *button)
{
    button->installEventFilter(new TReturnPresses(button));
}

void DrawFocusRectangle(QPainter &painter, const QRect &rect, const QColor &colour)
{
    painter.save();
    QPen pen(colour, 0);
    pen.setDashPattern({1, 1});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}
