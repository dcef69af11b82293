#include "wash/idletime_linux.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <functional>

namespace {

const QString Service = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString Path = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString Interface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

/// GNOME's compositor counts from the last input on any of its seats, X and Wayland clients
/// alike, and says so through watches: an idle watch that fires each time the session has been
/// idle for the delay, and a user-active watch that fires once at the next input. Every call is
/// asynchronous, so a compositor that is slow to answer never holds up the program.
class GnomeIdleSource : public IdleSource {
    Q_OBJECT

public:
    explicit GnomeIdleSource(int64_t delay)
        : Delay(static_cast<qulonglong>(delay))
    {
        Bus.connect(Service, Path, Interface, QStringLiteral("WatchFired"), this,
                    SLOT(WatchFired(uint)));
        Call(QStringLiteral("AddIdleWatch"), {Delay}, [this](const QDBusMessage &reply) {
            IdleWatch = reply.arguments().value(0).toUInt();
        });
        // An idle watch fires when the idle time reaches the delay, not when it is beyond already.
        CheckIdleTime();
    }

    ~GnomeIdleSource() override
    {
        for (const uint watch : {IdleWatch, ActiveWatch}) {
            if (watch != 0) {
                QDBusMessage remove = QDBusMessage::createMethodCall(Service, Path, Interface,
                                                                     QStringLiteral("RemoveWatch"));
                remove << watch;
                Bus.send(remove);
            }
        }
    }

private slots:
    void WatchFired(uint id)
    {
        if (id == 0)
            return;
        if (id == IdleWatch)
            BecameIdle();
        else if (id == ActiveWatch) {
            ActiveWatch = 0; // a user-active watch fires once
            SetIdle(false);
        }
    }

private:
    void Call(const QString &method, const QVariantList &arguments,
              std::function<void(const QDBusMessage &)> answered)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, method);
        call.setArguments(arguments);
        auto *watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [answered = std::move(answered)](QDBusPendingCallWatcher *w) {
                    if (!w->isError())
                        answered(w->reply());
                    w->deleteLater();
                });
    }

    void CheckIdleTime()
    {
        Call(QStringLiteral("GetIdletime"), {}, [this](const QDBusMessage &reply) {
            const bool idle = reply.arguments().value(0).toULongLong() >= Delay;
            if (idle && !IsIdle())
                BecameIdle();
            else if (!idle && IsIdle() && WatchingInput)
                SetIdle(false); // input came before the user-active watch was in place
        });
    }

    void BecameIdle()
    {
        if (IsIdle())
            return;
        SetIdle(true);
        WatchingInput = false;
        Call(QStringLiteral("AddUserActiveWatch"), {}, [this](const QDBusMessage &reply) {
            ActiveWatch = reply.arguments().value(0).toUInt();
            WatchingInput = true;
            CheckIdleTime();
        });
    }

    QDBusConnection Bus = QDBusConnection::sessionBus();
    qulonglong Delay;
    uint IdleWatch = 0;
    uint ActiveWatch = 0;
    bool WatchingInput = false;
};

} // namespace

std::unique_ptr<IdleSource> GnomeIdleTime(int64_t delay)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Asked of the bus, which always answers at once, never of the compositor.
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(Service))
        return nullptr;
    return std::make_unique<GnomeIdleSource>(delay);
}

#include "idletime_gnome.moc"
