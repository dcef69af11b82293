#include "wash/idletime_linux.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace {

/// The X server's MIT-SCREEN-SAVER extension, which counts from the last input of any client.
class XcbIdleSource : public IdleTimeSource {
public:
    XcbIdleSource(xcb_connection_t *connection, xcb_window_t root)
        : Connection(connection)
        , Root(root)
    {
    }

    std::optional<int64_t> IdleMilliseconds() override
    {
        xcb_screensaver_query_info_reply_t *reply = xcb_screensaver_query_info_reply(
            Connection, xcb_screensaver_query_info(Connection, Root), nullptr);
        if (!reply)
            return std::nullopt;
        const int64_t idle = reply->ms_since_user_input;
        std::free(reply);
        return idle;
    }

private:
    xcb_connection_t *Connection;
    xcb_window_t Root;
};

} // namespace

std::unique_ptr<IdleTimeSource> XcbIdleTime()
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr; // not on X11
    const xcb_query_extension_reply_t *extension =
        xcb_get_extension_data(connection, &xcb_screensaver_id);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!extension || !extension->present || !screen)
        return nullptr;
    // XWayland counts only the input that goes to X programs: a wash would start while the
    // user types into a Wayland window.
    static constexpr char XWayland[] = "XWAYLAND";
    xcb_query_extension_reply_t *xwayland = xcb_query_extension_reply(
        connection, xcb_query_extension(connection, sizeof XWayland - 1, XWayland), nullptr);
    const bool underWayland = !xwayland || xwayland->present;
    std::free(xwayland);
    if (underWayland)
        return nullptr;
    auto source = std::make_unique<XcbIdleSource>(connection, screen->root);
    if (!source->IdleMilliseconds())
        return nullptr;
    return source;
}
