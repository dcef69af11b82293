#pragma once

#include <QLabel>
#include <QString>

class QComboBox;
class QListView;

/// The words a screen reader should say for a text the window shows: without the layout's
/// padding and trailing colon, and with "(s)" read as a plural ("Vertical bar(s)" is
/// "Vertical bars"), since a reader spells punctuation out ("colon", "left paren").
QString SpokenName(const QString &shown);

/// Gives the program's windows the accessible interfaces of its own that Qt's fall short of:
/// the main window as a frame, drop-down lists named after their label (Qt names a read-only
/// one after its value on Linux) with the item shown as their value, and TLinkLabel as a link.
/// Called by every window that has such controls before it makes them; installs once.
void InstallAccessibleInterfaces();

/// A reader hears the item a drop-down list or a list shows as current: on the list's focus,
/// and when the item changes while the control has the focus. Qt 6.5 and later tell it through
/// the accessibility bus's selection; with earlier Qt this moves the reader's focus to the item.
void AnnounceCurrentItem(QComboBox *dropDown);
void AnnounceCurrentItem(QListView *list);

/// A label that opens a web address: a link to a screen reader, named by its text. The reader's
/// press action on it emits `activated`; clicks and keys are its owner's to handle.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    TLinkLabel(const QString &text, QWidget *parent);

signals:
    void activated();
};
