#include "ui/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

TUpDown::TUpDown(QLineEdit *associate, QWidget *parent)
    : QWidget(parent)
    , Associate(associate)
    , UpButton(new QToolButton(this))
    , DownButton(new QToolButton(this))
{
    for (QToolButton *b : {UpButton, DownButton}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setArrowType(b == UpButton ? Qt::UpArrow : Qt::DownArrow);
        b->setIconSize(QSize(7, 7));
    }
    connect(UpButton, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
    setFocusPolicy(Qt::NoFocus);
    Associate->installEventFilter(this);
}

void TUpDown::Step(int delta)
{
    bool ok = false;
    const int shown = Associate->text().toInt(&ok);
    const int from = ok ? shown : Position;
    // A number beyond the range (from an edited settings file) comes back to the nearest end
    // in one step, whichever button was pressed.
    const int next = from < Min || from > Max ? from : from + delta;
    Position = std::clamp(next, Min, Max);
    Associate->setText(QString::number(Position));
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Associate && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::resizeEvent(QResizeEvent *)
{
    const int upper = height() / 2;
    UpButton->setGeometry(0, 0, width(), upper);
    DownButton->setGeometry(0, upper, width(), height() - upper);
}
