#pragma once

#include <QObject>
#include <QSet>

/// The keys held down on the keyboard right now, as the native scan codes key events carry;
/// empty where the platform cannot tell. Where it cannot, it also does not repeat a key that
/// was held before a window of this program had the keyboard (Wayland, Windows).
QSet<quint32> KeysHeldNow();

/// Swallows the presses and the release of keys that were already held when the program got
/// the keyboard: an X server repeats such a key to the window that now has the focus, and its
/// first repeat looks like a fresh press. Installed on the application, after any other filter
/// that sees key events, so that it runs first.
class THeldKeysFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSet<quint32> HeldBefore;
};
