#include "wash/idletime_linux.h"

#include "wash/waylandclient.h"

#include <ext-idle-notify-v1-client-protocol.h>
#include <wayland-client.h>
#ifdef GSW_KDE_IDLE
#include <idle-client-protocol.h>
#endif

#include <algorithm>
#include <limits>
#include <vector>

namespace {

class WaylandIdleSource;

/// One seat's notification: the compositor says when the seat has had no input for the delay
/// ("idled") and when input comes again ("resumed").
struct SeatIdle {
    WaylandIdleSource *Owner = nullptr;
    wl_proxy *Seat = nullptr;
    wl_proxy *Notification = nullptr;
    bool Idle = false;
};

void SeatChanged(void *data, bool idle);

const ext_idle_notification_v1_listener ExtListener{
    .idled = [](void *data, ext_idle_notification_v1 *) { SeatChanged(data, true); },
    .resumed = [](void *data, ext_idle_notification_v1 *) { SeatChanged(data, false); },
};
#ifdef GSW_KDE_IDLE
const org_kde_kwin_idle_timeout_listener KdeListener{
    .idle = [](void *data, org_kde_kwin_idle_timeout *) { SeatChanged(data, true); },
    .resumed = [](void *data, org_kde_kwin_idle_timeout *) { SeatChanged(data, false); },
};
#endif

/// The compositor's idle notifications, one per seat, on Qt's connection: Qt's event loop reads
/// them when they come, and the source only takes note there. The session is idle while every
/// seat is. Where the compositor offers it (ext-idle-notify version 2), the notification counts
/// only input, so that another program's idle inhibitor (a paused video, a browser tab) does not
/// keep the washes away; the older notifications count inhibitors too.
class WaylandIdleSource : public IdleSource {
public:
    WaylandIdleSource(WaylandGlobals &globals, int64_t delay)
        : Globals(globals)
    {
        const auto timeout = static_cast<uint32_t>(
            std::clamp<int64_t>(delay, 1, std::numeric_limits<uint32_t>::max()));
        for (const auto &[seat, version] : Globals.BindAll(&wl_seat_interface, 1)) {
            Seats.push_back(std::make_unique<SeatIdle>());
            Seats.back()->Owner = this;
            Seats.back()->Seat = seat;
        }
        const auto notifiers = Globals.BindAll(&ext_idle_notifier_v1_interface, 2);
        if (!notifiers.isEmpty()) {
            Notifier = notifiers.first().first;
            InputOnly = notifiers.first().second >= 2;
            for (const auto &seat : Seats) {
                auto *notifier = reinterpret_cast<ext_idle_notifier_v1 *>(Notifier);
                auto *wlSeat = reinterpret_cast<wl_seat *>(seat->Seat);
                ext_idle_notification_v1 *notification =
                    InputOnly
                        ? ext_idle_notifier_v1_get_input_idle_notification(notifier, timeout,
                                                                           wlSeat)
                        : ext_idle_notifier_v1_get_idle_notification(notifier, timeout, wlSeat);
                ext_idle_notification_v1_add_listener(notification, &ExtListener, seat.get());
                seat->Notification = reinterpret_cast<wl_proxy *>(notification);
            }
            for (auto it = notifiers.begin() + 1; it != notifiers.end(); ++it)
                wl_proxy_destroy(it->first);
        }
#ifdef GSW_KDE_IDLE
        // KDE's older protocol, the only one of sway 1.7 and KWin 5.27.
        if (!Notifier)
            Kde = Globals.BindFirst(&org_kde_kwin_idle_interface, 1);
        for (const auto &seat : Seats) {
            if (!Kde)
                break;
            seat->Notification = reinterpret_cast<wl_proxy *>(org_kde_kwin_idle_get_idle_timeout(
                reinterpret_cast<org_kde_kwin_idle *>(Kde), reinterpret_cast<wl_seat *>(seat->Seat),
                timeout));
            org_kde_kwin_idle_timeout_add_listener(
                reinterpret_cast<org_kde_kwin_idle_timeout *>(seat->Notification), &KdeListener,
                seat.get());
        }
#endif
        Working = !Seats.empty() && (Notifier || Kde) && Globals.Roundtrip();
        for (const auto &seat : Seats) {
            if (seat->Notification)
                Globals.MoveToQtQueue(seat->Notification);
        }
    }

    ~WaylandIdleSource() override
    {
        for (const auto &seat : Seats) {
            if (seat->Notification && Notifier)
                ext_idle_notification_v1_destroy(
                    reinterpret_cast<ext_idle_notification_v1 *>(seat->Notification));
#ifdef GSW_KDE_IDLE
            else if (seat->Notification)
                org_kde_kwin_idle_timeout_release(
                    reinterpret_cast<org_kde_kwin_idle_timeout *>(seat->Notification));
#endif
            wl_proxy_destroy(seat->Seat);
        }
        if (Notifier)
            ext_idle_notifier_v1_destroy(reinterpret_cast<ext_idle_notifier_v1 *>(Notifier));
        if (Kde)
            wl_proxy_destroy(Kde); // the protocol gives its manager no destructor
        Globals.Flush();
    }

    WaylandIdleSource(const WaylandIdleSource &) = delete;
    WaylandIdleSource &operator=(const WaylandIdleSource &) = delete;

    bool IsWorking() const
    {
        return Working;
    }
    bool CountsInputOnly() const
    {
        return InputOnly;
    }

    /// A seat's notification came, possibly in the middle of Qt's own handling of the
    /// connection: what follows from it waits for the event loop.
    void Changed()
    {
        const bool idle =
            std::all_of(Seats.begin(), Seats.end(), [](const auto &seat) { return seat->Idle; });
        QMetaObject::invokeMethod(
            this, [this, idle] { SetIdle(idle); }, Qt::QueuedConnection);
    }

private:
    WaylandGlobals &Globals;
    std::vector<std::unique_ptr<SeatIdle>> Seats;
    wl_proxy *Notifier = nullptr;
    wl_proxy *Kde = nullptr;
    bool InputOnly = false;
    bool Working = false;
};

void SeatChanged(void *data, bool idle)
{
    auto *seat = static_cast<SeatIdle *>(data);
    seat->Idle = idle;
    seat->Owner->Changed();
}

} // namespace

std::unique_ptr<IdleSource> WaylandIdleTime(int64_t delay)
{
    WaylandGlobals *globals = ProgramWaylandGlobals();
    if (!globals)
        return nullptr;
    auto source = std::make_unique<WaylandIdleSource>(*globals, delay);
    if (!source->IsWorking())
        return nullptr;
    return source;
}
