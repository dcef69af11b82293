#include "wash/screensaverinhibition.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QObject>
#include <QVariantMap>
#include <optional>

namespace {

// Where to ask, in order: the desktop's screen saver under its usual object path, under the
// older path some desktops still use, then the desktop portal (sandboxes, newer desktops).
enum class Route { ScreenSaver, ScreenSaverOldPath, Portal };

// What a granted request gives back, handed in again to end the inhibition.
struct Grant {
    Route route;
    uint cookie = 0;
    QDBusObjectPath request;
};

const QString ScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
constexpr uint PortalInhibitIdle = 8;

QString ScreenSaverPath(Route route)
{
    return route == Route::ScreenSaver ? QStringLiteral("/org/freedesktop/ScreenSaver")
                                       : QStringLiteral("/ScreenSaver");
}

QDBusMessage InhibitCall(Route route, const QString &reason)
{
    if (route == Route::Portal) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            PortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
        call << QString() << PortalInhibitIdle << QVariantMap{{QStringLiteral("reason"), reason}};
        return call;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        ScreenSaverService, ScreenSaverPath(route), ScreenSaverService, QStringLiteral("Inhibit"));
    call << QGuiApplication::applicationDisplayName() << reason;
    return call;
}

void SendRelease(const Grant &grant)
{
    if (grant.route == Route::Portal) {
        QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
            PortalService, grant.request.path(), QStringLiteral("org.freedesktop.portal.Request"),
            QStringLiteral("Close")));
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(ScreenSaverService, ScreenSaverPath(grant.route),
                                       ScreenSaverService, QStringLiteral("UnInhibit"));
    call << grant.cookie;
    QDBusConnection::sessionBus().send(call);
}

std::optional<Grant> GrantFrom(Route route, const QDBusPendingCall &call)
{
    if (route == Route::Portal) {
        const QDBusPendingReply<QDBusObjectPath> reply = call;
        if (reply.isError())
            return std::nullopt;
        return Grant{route, 0, reply.value()};
    }
    const QDBusPendingReply<uint> reply = call;
    if (reply.isError())
        return std::nullopt;
    return Grant{route, reply.value(), {}};
}

std::optional<Route> NextRoute(Route failed, const QDBusError &error)
{
    switch (failed) {
    case Route::ScreenSaver:
        switch (error.type()) {
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            return Route::ScreenSaverOldPath;
        default:
            return Route::Portal;
        }
    case Route::ScreenSaverOldPath:
        return Route::Portal;
    case Route::Portal:
        break;
    }
    return std::nullopt;
}

// One request at a time is on its way; whether its grant is kept or handed straight back is
// decided when it arrives, by whether the inhibition is still wanted then.
class DBusInhibition final : public QObject, public ScreenSaverInhibition {
public:
    ~DBusInhibition() override;
    void Ask(const QString &why) override;
    void GiveBack() override;
    bool isGranted() const override { return held.has_value(); }
    void Flush() override;

private:
    void Send(Route route);
    void Answered(Route route, QDBusPendingCallWatcher *watcher);

    bool wanted = false;
    QString reason;
    QDBusPendingCallWatcher *pending = nullptr;
    Route pendingRoute = Route::ScreenSaver;
    std::optional<Grant> held;
};

DBusInhibition::~DBusInhibition()
{
    if (!pending)
        return;
    // The answer outlives this object: whatever it grants is given back on arrival.
    disconnect(pending, nullptr, this, nullptr);
    pending->setParent(nullptr);
    const Route route = pendingRoute;
    connect(pending, &QDBusPendingCallWatcher::finished, pending,
            [route](QDBusPendingCallWatcher *watcher) {
                if (const auto grant = GrantFrom(route, *watcher))
                    SendRelease(*grant);
                watcher->deleteLater();
            });
}

void DBusInhibition::Ask(const QString &why)
{
    wanted = true;
    reason = why;
    if (!pending && !held)
        Send(Route::ScreenSaver);
}

// Messages leave in the order they were sent, so an answer to a call sent after them means they
// have all reached the bus.
void DBusInhibition::Flush()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.call(QDBusMessage::createMethodCall(
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
             QDBus::Block, 1000);
}

void DBusInhibition::GiveBack()
{
    wanted = false;
    if (held) {
        SendRelease(*held);
        held.reset();
    }
}

void DBusInhibition::Send(Route route)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    pending = new QDBusPendingCallWatcher(bus.asyncCall(InhibitCall(route, reason)), this);
    pendingRoute = route;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, route](QDBusPendingCallWatcher *watcher) { Answered(route, watcher); });
}

void DBusInhibition::Answered(Route route, QDBusPendingCallWatcher *watcher)
{
    pending = nullptr;
    watcher->deleteLater();
    const std::optional<Grant> grant = GrantFrom(route, *watcher);
    if (!grant) {
        if (wanted) {
            if (const auto next = NextRoute(route, watcher->error()))
                Send(*next);
        }
        return;
    }
    if (wanted)
        held = grant;
    else
        SendRelease(*grant);
}

} // namespace

std::unique_ptr<ScreenSaverInhibition> MakeScreenSaverInhibition()
{
    return std::make_unique<DBusInhibition>();
}
