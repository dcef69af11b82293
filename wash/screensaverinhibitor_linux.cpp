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
#include <cstdlib>
#include <optional>
#include <utility>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

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

xcb_connection_t *XConnection()
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Suspend came with version 1.1 of MIT-SCREEN-SAVER.
bool CanSuspend(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *extension =
        xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (!extension || !extension->present)
        return false;
    xcb_screensaver_query_version_reply_t *version = xcb_screensaver_query_version_reply(
        connection, xcb_screensaver_query_version(connection, 1, 1), nullptr);
    const bool can =
        version && (version->server_major_version > 1 ||
                    (version->server_major_version == 1 && version->server_minor_version >= 1));
    std::free(version);
    return can;
}

// The X server's own screen saver and its power-saving timers, all that blanks the display on
// an X11 desktop without a screen-saver service (i3, openbox, a bare session). The server counts
// a suspension per client and ends it with the client's connection, so a program that is killed
// leaves nothing suspended. Under XWayland it holds back only XWayland's own saver, which is
// harmless.
class XServerSaver {
public:
    /// False where the program is an X client whose server cannot suspend its saver.
    bool Suspend()
    {
        xcb_connection_t *connection = XConnection();
        if (!connection)
            return true; // not an X client: there is no X server's saver to hold
        if (!CanSuspend(connection))
            return false;
        xcb_screensaver_suspend(connection, 1);
        xcb_flush(connection);
        suspended = true;
        return true;
    }

    void Resume()
    {
        if (!std::exchange(suspended, false))
            return;
        xcb_connection_t *connection = XConnection();
        // A connection that is gone or broken has ended the suspension with it.
        if (!connection || xcb_connection_has_error(connection))
            return;
        xcb_screensaver_suspend(connection, 0);
        xcb_flush(connection);
    }

    bool isSuspended() const { return suspended; }

private:
    bool suspended = false;
};

// The session bus's screen-saver service and, on X11, the X server's own saver beside it: a
// desktop may have either, both or neither.
class LinuxInhibition final : public ScreenSaverInhibition {
public:
    void Ask(const QString &why) override
    {
        bus.Ask(why);
        xServerUnheld = !xServer.Suspend();
    }
    void GiveBack() override
    {
        bus.GiveBack();
        xServer.Resume();
    }
    bool isGranted() const override { return bus.isGranted() || xServer.isSuspended(); }
    void Flush() override { bus.Flush(); }
    QString Unheld() const override
    {
        return xServerUnheld ? QStringLiteral("the X server's screen saver") : QString();
    }

private:
    DBusInhibition bus;
    XServerSaver xServer;
    bool xServerUnheld = false;
};

} // namespace

std::unique_ptr<ScreenSaverInhibition> MakeScreenSaverInhibition()
{
    return std::make_unique<LinuxInhibition>();
}
