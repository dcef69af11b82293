#pragma once

#include <QObject>
#include <QPoint>
#include <QWidget>
#include <initializer_list>

/// Moves a window as if its title bar had been grabbed while the mouse drags the window itself
/// or one of its `handles`. Where the platform places windows itself (Wayland) the compositor
/// moves it; elsewhere the window follows the mouse, and its edges snap to the work area.
class TFormMover : public QObject {
public:
    TFormMover(QWidget *window, std::initializer_list<QWidget *> handles);

    void Press(const QPoint &globalPos, Qt::MouseButton button);
    void Move(const QPoint &globalPos);
    void Release(Qt::MouseButton button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *Window;
    Qt::MouseButton Button = Qt::NoButton;
    QPoint Offset;
};
