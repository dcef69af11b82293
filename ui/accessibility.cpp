#include "ui/accessibility.h"

#include "ui/gswmainunit.h"

#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QListView>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace {

// Qt's AT-SPI bridge tells a reader which item of a list or drop-down list is selected from
// Qt 6.5 on; before, the reader finds no value in a drop-down list and no current item in a
// list, and this program gives it them otherwise.
constexpr bool BridgeTellsSelection = QT_VERSION >= QT_VERSION_CHECK(6, 5, 0);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
using TSelectionInterface = QAccessibleSelectionInterface;
#else
struct TSelectionInterface {};
#endif

/// The interface of row `row` of `view`'s items, or null.
QAccessibleInterface *ItemInterface(QAbstractItemView *view, int row)
{
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QAccessibleTableInterface *table = list ? list->tableInterface() : nullptr;
    return table && row >= 0 && row < table->rowCount() ? table->cellAt(row, 0) : nullptr;
}

/// A read-only drop-down list as Qt's own interface has it (its list of items as the one child,
/// the popup as its action), but named after its label, and with the item shown as its value:
/// as the selected item where the bridge tells a selection, and otherwise as its text, which is
/// where a reader then looks for a value.
class TDropDownAccessible : public QAccessibleWidget,
                            public QAccessibleTextInterface,
                            public TSelectionInterface {
public:
    explicit TDropDownAccessible(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface && !BridgeTellsSelection)
            return static_cast<QAccessibleTextInterface *>(this);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        if (type == QAccessible::SelectionInterface)
            return static_cast<QAccessibleSelectionInterface *>(this);
#endif
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override
    {
        return 1;
    }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == Box()->view() ? 0 : -1;
    }
    QAccessibleInterface *childAt(int, int) const override
    {
        return nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? Box()->currentText() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Box()->view()->isVisible();
        return s;
    }

    QStringList actionNames() const override
    {
        return {showMenuAction(), pressAction()};
    }
    QString localizedActionDescription(const QString &action) const override
    {
        return actionNames().contains(action)
                   ? QComboBox::tr("Open the combo box selection popup")
                   : QAccessibleWidget::localizedActionDescription(action);
    }
    void doAction(const QString &action) override
    {
        if (!actionNames().contains(action))
            return;
        if (Box()->view()->isVisible())
            Box()->hidePopup();
        else
            Box()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override
    {
        return {};
    }

    // The text, which only a bridge without selection is given: the item shown, read only,
    // with no selection and the caret at its start.
    QString text(int start, int end) const override
    {
        const QString shown = Box()->currentText();
        if (end < 0 || end > shown.size())
            end = int(shown.size());
        start = std::clamp(start, 0, end);
        return shown.mid(start, end - start);
    }
    int characterCount() const override
    {
        return int(Box()->currentText().size());
    }
    int cursorPosition() const override
    {
        return 0;
    }
    void setCursorPosition(int) override {}
    void selection(int, int *start, int *end) const override
    {
        *start = *end = 0;
    }
    int selectionCount() const override
    {
        return 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override
    {
        return {};
    }
    int offsetAtPoint(const QPoint &) const override
    {
        return -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    // The selection: the item shown. A reader's choice of another item is a pick, as the
    // user's is.
    int selectedItemCount() const override
    {
        return int(selectedItems().size());
    }
    QList<QAccessibleInterface *> selectedItems() const override
    {
        QAccessibleInterface *item = ItemInterface(Box()->view(), Box()->currentIndex());
        return item ? QList<QAccessibleInterface *>{item} : QList<QAccessibleInterface *>{};
    }
    bool select(QAccessibleInterface *item) override
    {
        const QAccessibleTableCellInterface *cell = item ? item->tableCellInterface() : nullptr;
        if (!cell || ItemInterface(Box()->view(), cell->rowIndex()) != item)
            return false;
        Box()->setCurrentIndex(cell->rowIndex());
        emit Box()->activated(cell->rowIndex());
        return true;
    }
    bool unselect(QAccessibleInterface *) override
    {
        return false;
    }
    bool selectAll() override
    {
        return false;
    }
    bool clear() override
    {
        return false;
    }
#endif

private:
    QComboBox *Box() const
    {
        return static_cast<QComboBox *>(widget());
    }
};

/// A link named by its text; its press action emits the label's `activated`.
class TLinkAccessible : public QAccessibleWidget {
public:
    explicit TLinkAccessible(TLinkLabel *label)
        : QAccessibleWidget(label, QAccessible::Link)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << pressAction();
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            emit static_cast<TLinkLabel *>(widget())->activated();
        else
            QAccessibleWidget::doAction(action);
    }
};

/// The main window as a frame. It is active while its window has the window system's focus:
/// Qt reports a frame's change of activity to the reader as the state it reads at that moment,
/// and a window losing the focus to a dialog is still the application's active window then.
class TMainWindowAccessible : public QAccessibleWidget {
public:
    explicit TMainWindowAccessible(QWidget *window)
        : QAccessibleWidget(window, QAccessible::Window)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const QWindow *shown = widget()->windowHandle();
        s.active = shown && shown == QGuiApplication::focusWindow();
        return s;
    }
};

QAccessibleInterface *ProgramAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("QComboBox"))
        return new TDropDownAccessible(static_cast<QComboBox *>(object));
    if (className == QLatin1String(TLinkLabel::staticMetaObject.className()))
        return new TLinkAccessible(static_cast<TLinkLabel *>(object));
    if (className == QLatin1String(TGswMainForm::staticMetaObject.className()))
        return new TMainWindowAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

/// Moves the reader's focus to row `row` of `view`, where the reader presents it as the
/// current item.
void FocusReaderOnRow(QAbstractItemView *view, int row)
{
    if (QAccessibleInterface *item = ItemInterface(view, row)) {
        QAccessibleEvent focus(item, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

/// After the list's own focus has reached the reader, its current item's.
class TFocusedItemAnnouncer : public QObject {
public:
    explicit TFocusedItemAnnouncer(QListView *list)
        : QObject(list)
        , List(list)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            QTimer::singleShot(0, List, [list = List] {
                if (list->hasFocus() && QAccessible::isActive())
                    FocusReaderOnRow(list, list->currentIndex().row());
            });
        }
        return false;
    }

private:
    QListView *List;
};

} // namespace

QString SpokenName(const QString &shown)
{
    QString words = shown.trimmed();
    if (words.endsWith(QLatin1Char(':')))
        words.chop(1);
    words.replace(QLatin1String("(s)"), QLatin1String("s"));
    return words.trimmed();
}

void InstallAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(&ProgramAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

TLinkLabel::TLinkLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    InstallAccessibleInterfaces();
    // One that Qt made while this was still a plain label is dropped, so that the next one asked
    // for comes from the factory.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(this);
        made && made->role() != QAccessible::Link)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    setText(text);
}

void AnnounceCurrentItem(QComboBox *dropDown)
{
    if (BridgeTellsSelection)
        return;
    QObject::connect(dropDown, &QComboBox::currentIndexChanged, dropDown, [dropDown](int row) {
        if (dropDown->hasFocus() && QAccessible::isActive())
            FocusReaderOnRow(dropDown->view(), row);
    });
}

void AnnounceCurrentItem(QListView *list)
{
    if (!BridgeTellsSelection)
        list->installEventFilter(new TFocusedItemAnnouncer(list));
}
