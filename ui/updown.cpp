#include "ui/updown.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <algorithm>

namespace {

const char *const UpDownProperty = "gswUpDown";

/// The edit of an up-down control as a spin button: its name from its label, its value the
/// number it shows, its range the control's. A value set by the reader is brought into the
/// range, as the arrows keep it.
class TBarEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    TBarEditAccessible(QLineEdit *edit, TUpDown *upDown)
        : QAccessibleWidget(edit, QAccessible::SpinBox)
        , UpDown(upDown)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? Edit()->text() : QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override
    {
        bool ok = false;
        const int value = Edit()->text().toInt(&ok);
        return ok ? QVariant(value) : QVariant();
    }
    void setCurrentValue(const QVariant &value) override
    {
        if (UpDown)
            UpDown->SetPosition(value.toInt());
    }
    QVariant maximumValue() const override { return UpDown ? UpDown->Max : QVariant(); }
    QVariant minimumValue() const override { return UpDown ? UpDown->Min : QVariant(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    QLineEdit *Edit() const { return static_cast<QLineEdit *>(widget()); }
    QPointer<TUpDown> UpDown;
};

QAccessibleInterface *BarEditAccessibleFactory(const QString &, QObject *object)
{
    auto *edit = qobject_cast<QLineEdit *>(object);
    auto *upDown =
        edit ? qobject_cast<TUpDown *>(edit->property(UpDownProperty).value<QObject *>()) : nullptr;
    return upDown ? new TBarEditAccessible(edit, upDown) : nullptr;
}

} // namespace

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
    UpButton->setAccessibleName(QStringLiteral("Increase"));
    DownButton->setAccessibleName(QStringLiteral("Decrease"));
    connect(UpButton, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
    setFocusPolicy(Qt::NoFocus);
    Associate->installEventFilter(this);

    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&BarEditAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    Associate->setProperty(UpDownProperty, QVariant::fromValue<QObject *>(this));
    // An interface Qt made for the edit before it had an up-down control (a change of its text
    // makes one) is dropped, so that the next one asked for comes from the factory.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(Associate);
        made && !made->valueInterface())
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void TUpDown::Step(int delta)
{
    bool ok = false;
    const int shown = Associate->text().toInt(&ok);
    const int from = ok ? shown : Position;
    // A number beyond the range (from an edited settings file) comes back to the nearest end
    // in one step, whichever button was pressed.
    const int next = from < Min || from > Max ? from : from + delta;
    SetPosition(next);
}

void TUpDown::SetPosition(int value)
{
    Position = std::clamp(value, Min, Max);
    Associate->setText(QString::number(Position));
    QAccessibleValueChangeEvent changed(Associate, Position);
    QAccessible::updateAccessibility(&changed);
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
