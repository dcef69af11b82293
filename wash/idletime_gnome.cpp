#include "wash/idletime_linux.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <limits>

namespace {

/// GNOME's compositor counts from the last input on any of its seats, X and Wayland clients
/// alike. One short call per reading; a compositor that does not answer within Wait gives no
/// reading, which the idle watch skips.
class GnomeIdleSource : public IdleTimeSource {
public:
    std::optional<int64_t> IdleMilliseconds() override
    {
        static constexpr int Wait = 1000;
        const QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Mutter.IdleMonitor"),
            QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
            QStringLiteral("org.gnome.Mutter.IdleMonitor"), QStringLiteral("GetIdletime"));
        const QDBusReply<qulonglong> reply =
            QDBusConnection::sessionBus().call(ask, QDBus::Block, Wait);
        if (!reply.isValid())
            return std::nullopt;
        return static_cast<int64_t>(
            std::min<qulonglong>(reply.value(), std::numeric_limits<int64_t>::max()));
    }
};

} // namespace

std::unique_ptr<IdleTimeSource> GnomeIdleTime()
{
    if (!QDBusConnection::sessionBus().isConnected())
        return nullptr;
    auto source = std::make_unique<GnomeIdleSource>();
    if (!source->IdleMilliseconds())
        return nullptr;
    return source;
}
