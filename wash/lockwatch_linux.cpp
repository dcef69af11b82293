#include "wash/lockwatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

const QString Saver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString SaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString Login = QStringLiteral("org.freedesktop.login1");
const QString LoginSession = QStringLiteral("org.freedesktop.login1.Session");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString LockedHint = QStringLiteral("LockedHint");

/// Calls `message` on `bus` without waiting; `answered` gets the reply unless it is an error.
template <typename T, typename F>
void Ask(QObject *context, const QDBusConnection &bus, const QDBusMessage &message, F answered)
{
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answered](QDBusPendingCallWatcher *w) {
                         const QDBusPendingReply<T> reply = *w;
                         if (!reply.isError())
                             answered(reply.value());
                         w->deleteLater();
                     });
}

} // namespace

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        session.connect(Saver, SaverPath, Saver, QStringLiteral("ActiveChanged"), this,
                        SLOT(ActiveChanged(bool)));
        // A screen saver or lock that is on already when the program starts.
        Ask<bool>(
            this, session,
            QDBusMessage::createMethodCall(Saver, SaverPath, Saver, QStringLiteral("GetActive")),
            [this](bool active) { Set(SaverActive, active); });
    }
    // The login manager's own session object: signals come from its real path, which "auto"
    // (the caller's session, or the user's graphical one) only resolves to.
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            Login, QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSession"));
        ask << QStringLiteral("auto");
        Ask<QDBusObjectPath>(this, system, ask, [this](const QDBusObjectPath &path) {
            WatchLoginSession(path.path());
        });
    }
}

void TLockWatch::WatchLoginSession(const QString &path)
{
    QDBusConnection system = QDBusConnection::systemBus();
    system.connect(Login, path, Properties, QStringLiteral("PropertiesChanged"), this,
                   SLOT(SessionPropertiesChanged(QString, QVariantMap, QStringList)));
    QDBusMessage ask =
        QDBusMessage::createMethodCall(Login, path, Properties, QStringLiteral("Get"));
    ask << LoginSession << LockedHint;
    Ask<QDBusVariant>(this, system, ask, [this](const QDBusVariant &value) {
        Set(SessionLocked, value.variant().toBool());
    });
}

void TLockWatch::SessionPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                          const QStringList &)
{
    if (interface == LoginSession && changed.contains(LockedHint))
        Set(SessionLocked, changed.value(LockedHint).toBool());
}
