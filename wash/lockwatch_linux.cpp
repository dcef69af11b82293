#include "wash/lockwatch.h"

#include "wash/lockwatch_linux.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QVariantMap>

namespace {

const QString Login = QStringLiteral("org.freedesktop.login1");
const QString LoginSession = QStringLiteral("org.freedesktop.login1.Session");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString LockedHint = QStringLiteral("LockedHint");
/// A service that has not answered in this time is taken for one that is not there.
constexpr int AnswerWait = 5000;

using State = TLockWatch::State;

State LockedIf(bool locked)
{
    return locked ? State::Locked : State::Unlocked;
}

/// Calls `message` on `bus` without waiting; `answered` gets the reply, or nullopt for an error.
template <typename T, typename F>
void Ask(QObject *context, const QDBusConnection &bus, QDBusMessage message, F answered)
{
    // A desktop without the service must not have one started for this question.
    message.setAutoStartService(false);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, AnswerWait), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answered](QDBusPendingCallWatcher *w) {
                         const QDBusPendingReply<T> reply = *w;
                         answered(reply.isError() ? std::nullopt : std::optional<T>(reply.value()));
                         w->deleteLater();
                     });
}

/// The desktops' screen saver services on the session bus and the login manager's session on
/// the system bus, each followed by its signals.
class DBusLocks : public QObject {
    Q_OBJECT

public:
    explicit DBusLocks(TLockWatch &watch)
        : QObject(&watch)
        , Watch(watch)
    {
        QDBusConnection session = QDBusConnection::sessionBus();
        if (session.isConnected()) {
            WatchSaver(session, Source::SaverService, QStringLiteral("org.freedesktop.ScreenSaver"),
                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                       SLOT(FreedesktopSaverChanged(bool)));
            WatchSaver(session, Source::GnomeSaver, QStringLiteral("org.gnome.ScreenSaver"),
                       QStringLiteral("/org/gnome/ScreenSaver"), SLOT(GnomeSaverChanged(bool)));
        }
        // The login manager's own session object: signals come from its real path, which "auto"
        // (the caller's session, or the user's graphical one) only resolves to.
        QDBusConnection system = QDBusConnection::systemBus();
        if (!system.isConnected())
            return;
        Watch.Set(Source::LockedHint, State::Unknown);
        QDBusMessage ask = QDBusMessage::createMethodCall(
            Login, QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("GetSession"));
        ask << QStringLiteral("auto");
        Ask<QDBusObjectPath>(this, system, ask, [this](const std::optional<QDBusObjectPath> &path) {
            if (path)
                WatchLoginSession(path->path());
            else
                Watch.Set(Source::LockedHint, State::Unlocked); // no session of ours to follow
        });
    }

private slots:
    void FreedesktopSaverChanged(bool active) { Watch.Set(Source::SaverService, LockedIf(active)); }
    void GnomeSaverChanged(bool active) { Watch.Set(Source::GnomeSaver, LockedIf(active)); }
    void SessionPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                  const QStringList &)
    {
        if (interface != LoginSession || !changed.contains(LockedHint))
            return;
        const bool locked = changed.value(LockedHint).toBool();
        Watch.Set(Source::LockedHint, LockedIf(locked));
        if (!locked) // the lock that was asked for has been let go
            Watch.Set(Source::LockRequest, State::Unlocked);
    }
    void LockAsked() { Watch.Set(Source::LockRequest, State::Locked); }
    void UnlockAsked() { Watch.Set(Source::LockRequest, State::Unlocked); }

private:
    using Source = TLockWatch::Source;

    /// A screen saver service is there when it answers GetActive: until then the screen may be
    /// locked. One that is not there, or cannot tell (xscreensaver's answers no GetActive), counts
    /// for nothing until it signals.
    void WatchSaver(QDBusConnection &bus, Source source, const QString &service,
                    const QString &path, const char *slot)
    {
        bus.connect(service, path, service, QStringLiteral("ActiveChanged"), this, slot);
        Watch.Set(source, State::Unknown);
        Ask<bool>(
            this, bus,
            QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetActive")),
            [this, source](std::optional<bool> active) {
                Watch.Set(source, LockedIf(active.value_or(false)));
            });
    }

    void WatchLoginSession(const QString &path)
    {
        QDBusConnection system = QDBusConnection::systemBus();
        system.connect(Login, path, Properties, QStringLiteral("PropertiesChanged"), this,
                       SLOT(SessionPropertiesChanged(QString, QVariantMap, QStringList)));
        // What loginctl lock-session and unlock-session send, and what idle managers' lock
        // commands answer to.
        system.connect(Login, path, LoginSession, QStringLiteral("Lock"), this, SLOT(LockAsked()));
        system.connect(Login, path, LoginSession, QStringLiteral("Unlock"), this,
                       SLOT(UnlockAsked()));
        QDBusMessage ask =
            QDBusMessage::createMethodCall(Login, path, Properties, QStringLiteral("Get"));
        ask << LoginSession << LockedHint;
        Ask<QDBusVariant>(this, system, ask, [this](const std::optional<QDBusVariant> &value) {
            Watch.Set(Source::LockedHint, LockedIf(value && value->variant().toBool()));
        });
    }

    TLockWatch &Watch;
};

} // namespace

void WatchPlatformLocks(TLockWatch &watch)
{
    new DBusLocks(watch);
    WatchX11Locks(watch);
}

#include "lockwatch_linux.moc"
