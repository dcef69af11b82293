#include "wash/lockwatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString Path = QStringLiteral("/org/freedesktop/ScreenSaver");

} // namespace

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(Service, Path, Service, QStringLiteral("ActiveChanged"), this,
                SLOT(ActiveChanged(bool)));
    // A lock that is on already when the program starts; asked without waiting for it.
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("GetActive"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<bool> reply = *w;
        if (!reply.isError() && reply.value())
            emit lockedChanged(true);
        w->deleteLater();
    });
}
