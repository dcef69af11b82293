#include "ui/formmover.h"

#include "app/platformname.h"
#include "app/windowplacement.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

TFormMover::TFormMover(QWidget *window, std::initializer_list<QWidget *> handles)
    : QObject(window)
    , Window(window)
{
    for (QWidget *handle : handles)
        handle->installEventFilter(this);
}

void TFormMover::Press(const QPoint &globalPos, Qt::MouseButton button)
{
    if (IsWayland()) {
        if (Window->windowHandle())
            Window->windowHandle()->startSystemMove();
        return;
    }
    Button = button;
    Offset = globalPos - Window->frameGeometry().topLeft();
}

void TFormMover::Move(const QPoint &globalPos)
{
    if (Button == Qt::NoButton)
        return;
    QRect frame = Window->frameGeometry();
    frame.moveTopLeft(globalPos - Offset);
    const QScreen *s = QGuiApplication::screenAt(globalPos);
    if (!s)
        s = Window->screen();
    Window->move(SnapToWorkArea(frame, s->availableGeometry()));
}

void TFormMover::Release(Qt::MouseButton button)
{
    if (button == Button)
        Button = Qt::NoButton;
}

// The handles' own mouse behaviour gives way to the move.
bool TFormMover::eventFilter(QObject *, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (type == QEvent::MouseButtonPress)
        Press(mouse->globalPosition().toPoint(), mouse->button());
    else if (type == QEvent::MouseMove)
        Move(mouse->globalPosition().toPoint());
    else
        Release(mouse->button());
    return true;
}
