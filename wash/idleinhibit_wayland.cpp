#include "wash/idleinhibit.h"

#include "wash/waylandclient.h"

#include <idle-inhibit-unstable-v1-client-protocol.h>
#include <wayland-client.h>

// The manager and its one inhibitor stay together for the window's time on screen, bound from
// the program's list of globals without waiting for the compositor; the inhibitor goes first,
// and the compositor hears of it at once.
class IdleInhibitor::Impl {
public:
    explicit Impl(QWindow *window)
        : Globals(ProgramWaylandGlobals())
    {
        wl_surface *surface = QtWaylandSurface(window);
        if (!surface || !Globals)
            return;
        Manager = reinterpret_cast<zwp_idle_inhibit_manager_v1 *>(
            Globals->BindFirst(&zwp_idle_inhibit_manager_v1_interface, 1));
        if (!Manager)
            return;
        Inhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(Manager, surface);
        Globals->Flush();
    }

    ~Impl()
    {
        if (Inhibitor)
            zwp_idle_inhibitor_v1_destroy(Inhibitor);
        if (Manager)
            zwp_idle_inhibit_manager_v1_destroy(Manager);
        if (Globals)
            Globals->Flush();
    }

    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

private:
    WaylandGlobals *Globals;
    zwp_idle_inhibit_manager_v1 *Manager = nullptr;
    zwp_idle_inhibitor_v1 *Inhibitor = nullptr;
};

IdleInhibitor::IdleInhibitor(QWindow *window)
    : d(std::make_unique<Impl>(window))
{
}

IdleInhibitor::~IdleInhibitor() = default;
