#include "wash/waylandclient.h"

#include "app/platformname.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <algorithm>

namespace {

QPlatformNativeInterface *WaylandNativeInterface()
{
    if (!IsWayland())
        return nullptr;
    // qVersion() is the Qt loaded at run time, QT_VERSION_STR the one compiled against.
    const QByteArray running(qVersion());
    const QByteArray built(QT_VERSION_STR);
    if (running.left(running.lastIndexOf('.')) != built.left(built.lastIndexOf('.')))
        return nullptr;
    return QGuiApplication::platformNativeInterface();
}

} // namespace

wl_display *QtWaylandDisplay()
{
    QPlatformNativeInterface *native = WaylandNativeInterface();
    return native ? static_cast<wl_display *>(
                        native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")))
                  : nullptr;
}

wl_surface *QtWaylandSurface(QWindow *window)
{
    QPlatformNativeInterface *native = WaylandNativeInterface();
    if (!native || !window || !window->handle())
        return nullptr;
    return static_cast<wl_surface *>(
        native->nativeResourceForWindow(QByteArrayLiteral("surface"), window));
}

WaylandGlobals::WaylandGlobals(wl_display *display)
    : Display(display)
{
    if (!Display)
        return;
    Queue = wl_display_create_queue(Display);
    // The registry is asked for through a wrapper of the display, so that it and everything
    // bound through it lands on this object's queue from the start.
    Wrapper = static_cast<wl_display *>(wl_proxy_create_wrapper(Display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(Wrapper), Queue);
    Registry = wl_display_get_registry(Wrapper);
    static const wl_registry_listener listener{&WaylandGlobals::Announced,
                                               &WaylandGlobals::Removed};
    wl_registry_add_listener(Registry, &listener, this);
    Roundtrip();
}

WaylandGlobals::~WaylandGlobals()
{
    if (!Display)
        return;
    wl_registry_destroy(Registry);
    wl_proxy_wrapper_destroy(Wrapper);
    wl_event_queue_destroy(Queue);
}

void WaylandGlobals::Announced(void *data, wl_registry *, uint32_t name, const char *interface,
                               uint32_t version)
{
    static_cast<WaylandGlobals *>(data)->Globals.append({name, QByteArray(interface), version});
}

void WaylandGlobals::Removed(void *data, wl_registry *, uint32_t name)
{
    static_cast<WaylandGlobals *>(data)->Globals.removeIf(
        [name](const Global &global) { return global.name == name; });
}

QList<std::pair<wl_proxy *, uint32_t>> WaylandGlobals::BindAll(const wl_interface *interface,
                                                               uint32_t maxVersion)
{
    QList<std::pair<wl_proxy *, uint32_t>> bound;
    for (const Global &global : std::as_const(Globals)) {
        if (global.interface != interface->name)
            continue;
        const uint32_t version = std::min(global.version, maxVersion);
        bound.append(
            {static_cast<wl_proxy *>(wl_registry_bind(Registry, global.name, interface, version)),
             version});
    }
    return bound;
}

wl_proxy *WaylandGlobals::BindFirst(const wl_interface *interface, uint32_t maxVersion)
{
    for (const Global &global : std::as_const(Globals))
        if (global.interface == interface->name)
            return static_cast<wl_proxy *>(wl_registry_bind(Registry, global.name, interface,
                                                            std::min(global.version, maxVersion)));
    return nullptr;
}

bool WaylandGlobals::Roundtrip()
{
    return Display && wl_display_roundtrip_queue(Display, Queue) >= 0;
}

bool WaylandGlobals::DispatchPending()
{
    return Display && wl_display_dispatch_queue_pending(Display, Queue) >= 0;
}

void WaylandGlobals::Flush()
{
    if (Display)
        wl_display_flush(Display);
}

void WaylandGlobals::MoveToQtQueue(wl_proxy *proxy)
{
    if (!Display || !proxy)
        return;
    wl_proxy_set_queue(proxy, nullptr);
    DispatchPending();
}

namespace {

/// Keeps the program's globals as long as the application object, which goes before Qt's
/// connection does.
class ProgramGlobals : public QObject {
public:
    explicit ProgramGlobals(wl_display *display)
        : QObject(QCoreApplication::instance())
        , Globals(display)
    {
    }
    WaylandGlobals Globals;
};

} // namespace

WaylandGlobals *ProgramWaylandGlobals()
{
    static QPointer<ProgramGlobals> program;
    if (!program) {
        wl_display *display = QtWaylandDisplay();
        if (!display || !QCoreApplication::instance())
            return nullptr;
        program = new ProgramGlobals(display);
    } else {
        program->Globals.DispatchPending();
    }
    return &program->Globals;
}
