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
    // Only a mouse event may be taken as one: the handles see every other kind too.
    const auto mouse = [event] {
        return static_cast<QMouseEvent *>(event);
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        Press(mouse()->globalPosition().toPoint(), mouse()->button());
        return true;
    case QEvent::MouseMove:
        Move(mouse()->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonRelease:
        Release(mouse()->button());
        return true;
    default:
        return false;
    }
}
