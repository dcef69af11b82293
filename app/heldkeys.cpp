#include "app/heldkeys.h"

#include <QApplicationStateChangeEvent>
#include <QGuiApplication>
#include <QKeyEvent>

bool THeldKeysFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent *>(event)->applicationState() ==
            Qt::ApplicationActive)
            HeldBefore = KeysHeldNow();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (HeldBefore.isEmpty())
            break;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!HeldBefore.contains(key->nativeScanCode()))
            break;
        // A repeat comes as a release and a press, and Qt cannot always tell it from a real
        // one: the keyboard itself says whether the key is up at last.
        if (event->type() == QEvent::KeyRelease && !KeysHeldNow().contains(key->nativeScanCode()))
            HeldBefore.remove(key->nativeScanCode());
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
