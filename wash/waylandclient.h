#pragma once

// The program's own requests to a Wayland compositor, on Qt's connection to it. Built only
// where the program is built with Wayland support.

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <utility>

class QWindow;
struct wl_display;
struct wl_event_queue;
struct wl_interface;
struct wl_proxy;
struct wl_registry;
struct wl_surface;

/// Qt's connection to the compositor; null unless the program runs as a Wayland client. Qt
/// hands it out through its platform interface, whose layout may change from one Qt minor
/// version to the next, so it is asked only of the Qt version the program was built with.
wl_display *QtWaylandDisplay();

/// The surface of `window` on that connection; null off Wayland or before the window is shown.
wl_surface *QtWaylandSurface(QWindow *window);

/// The compositor's globals, listed and bound on an event queue of this object's own: waiting
/// for the compositor here never runs Qt's event handlers, nor does Qt's waiting run ours.
/// Everything bound here belongs to that queue and is to be destroyed before this object.
/// Events of an object moved to Qt's own queue (MoveToQtQueue) are handled by Qt's event loop
/// as they come, with Qt's.
class WaylandGlobals {
public:
    /// Lists the globals; nothing is listed where `display` is null.
    explicit WaylandGlobals(wl_display *display);
    ~WaylandGlobals();
    WaylandGlobals(const WaylandGlobals &) = delete;
    WaylandGlobals &operator=(const WaylandGlobals &) = delete;

    /// Binds every global of `interface`, each at the version the compositor offers but at
    /// most `maxVersion`; gives the proxies with the versions bound.
    QList<std::pair<wl_proxy *, uint32_t>> BindAll(const wl_interface *interface,
                                                   uint32_t maxVersion);
    /// Binds the first global of `interface` alone, as BindAll does; null where there is none.
    wl_proxy *BindFirst(const wl_interface *interface, uint32_t maxVersion);
    /// Sends what was asked so far and waits until the compositor has answered it, running the
    /// listeners of this queue's proxies; false when the connection has failed.
    bool Roundtrip();
    /// Runs the listeners of this queue's proxies for the events that have come in, without
    /// waiting: Qt reads the whole connection, this queue's events included. False when the
    /// connection has failed.
    bool DispatchPending();
    /// Sends what was asked so far without waiting.
    void Flush();
    /// Hands `proxy`, bound here, to the queue Qt reads and dispatches from its event loop, then
    /// handles what had come in for it here. Its listeners then run inside Qt's event handling,
    /// where they may only take note and leave the rest for later.
    void MoveToQtQueue(wl_proxy *proxy);

private:
    struct Global {
        uint32_t name;
        QByteArray interface;
        uint32_t version;
    };
    static void Announced(void *data, wl_registry *registry, uint32_t name, const char *interface,
                          uint32_t version);
    static void Removed(void *data, wl_registry *registry, uint32_t name);

    wl_display *Display = nullptr;
    wl_event_queue *Queue = nullptr;
    wl_display *Wrapper = nullptr;
    wl_registry *Registry = nullptr;
    QList<Global> Globals;
};

/// The program's one list of the compositor's globals on Qt's connection, made at the first call
/// and kept until the application object goes; null unless the program runs as a Wayland
/// client. What it lists is brought up to date at each call.
WaylandGlobals *ProgramWaylandGlobals();
