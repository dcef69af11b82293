#include "wash/idletime_linux.h"

#include "wash/washsession.h"
#include "wash/waylandclient.h"

#include <ext-idle-notify-v1-client-protocol.h>
#include <wayland-client.h>
#ifdef GSW_KDE_IDLE
#include <idle-client-protocol.h>
#endif

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace {

/// One seat's notification: the compositor says when the seat has had no input for the delay
/// ("idled") and when input comes again ("resumed"), counting from the notification's creation.
struct SeatIdle {
    wl_proxy *Seat = nullptr;
    wl_proxy *Notification = nullptr;
    bool Idle = false;
    bool Changed = false; // told since the last reading, which then dates it
    int64_t Since = 0;    // when it went idle, or when its count last began
};

void SetIdle(void *data, bool idle)
{
    auto *seat = static_cast<SeatIdle *>(data);
    seat->Idle = idle;
    seat->Changed = true;
}

const ext_idle_notification_v1_listener ExtListener{
    .idled = [](void *data, ext_idle_notification_v1 *) { SetIdle(data, true); },
    .resumed = [](void *data, ext_idle_notification_v1 *) { SetIdle(data, false); },
};
#ifdef GSW_KDE_IDLE
const org_kde_kwin_idle_timeout_listener KdeListener{
    .idle = [](void *data, org_kde_kwin_idle_timeout *) { SetIdle(data, true); },
    .resumed = [](void *data, org_kde_kwin_idle_timeout *) { SetIdle(data, false); },
};
#endif

/// The compositor only says whether the delay has passed, so the idle time is what it says
/// plus what the program counted since: at least the delay once idle, below it until then.
/// Its events are read by Qt, which reads the whole connection, and handled at each reading.
class WaylandIdleSource : public IdleTimeSource {
public:
    WaylandIdleSource(wl_display *display, int64_t delay)
        : Globals(display)
        , Delay(std::clamp<int64_t>(delay, 1, std::numeric_limits<uint32_t>::max()))
    {
        const auto timeout = static_cast<uint32_t>(Delay);
        for (const auto &[seat, version] : Globals.BindAll(&wl_seat_interface, 1)) {
            Seats.push_back(std::make_unique<SeatIdle>());
            Seats.back()->Seat = seat;
        }
        Notifier = Globals.BindFirst(&ext_idle_notifier_v1_interface, 1);
        for (const auto &seat : Seats) {
            if (!Notifier)
                break;
            seat->Notification =
                reinterpret_cast<wl_proxy *>(ext_idle_notifier_v1_get_idle_notification(
                    reinterpret_cast<ext_idle_notifier_v1 *>(Notifier), timeout,
                    reinterpret_cast<wl_seat *>(seat->Seat)));
            ext_idle_notification_v1_add_listener(
                reinterpret_cast<ext_idle_notification_v1 *>(seat->Notification), &ExtListener,
                seat.get());
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
        const int64_t now = Clock();
        for (const auto &seat : Seats)
            seat->Since = now;
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

    std::optional<int64_t> IdleMilliseconds() override
    {
        // What the compositor said since the last reading is dated now, a reading's interval
        // late at most.
        const int64_t now = Clock();
        if (!Globals.DispatchPending())
            return std::nullopt;
        // Every seat counts: the session is idle as long as its busiest seat.
        int64_t idle = std::numeric_limits<int64_t>::max();
        for (const auto &seat : Seats) {
            if (std::exchange(seat->Changed, false))
                seat->Since = now;
            const int64_t counted = now - seat->Since;
            idle = std::min(idle, seat->Idle ? Delay + counted : std::min(counted, Delay - 1));
        }
        return idle;
    }

private:
    WaylandGlobals Globals;
    WashClock Clock = SteadyClock();
    int64_t Delay;
    std::vector<std::unique_ptr<SeatIdle>> Seats;
    wl_proxy *Notifier = nullptr;
    wl_proxy *Kde = nullptr;
    bool Working = false;
};

} // namespace

std::unique_ptr<IdleTimeSource> WaylandIdleTime(int64_t delay)
{
    wl_display *display = QtWaylandDisplay();
    if (!display)
        return nullptr;
    auto source = std::make_unique<WaylandIdleSource>(display, delay);
    if (!source->IsWorking())
        return nullptr;
    return source;
}
