#include "app/heldkeys.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

QSet<quint32> KeysHeldNow()
{
    QSet<quint32> held;
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return held; // not on X11
    xcb_query_keymap_reply_t *reply =
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    if (!reply)
        return held;
    // One bit per key code, key code k in bit k % 8 of byte k / 8; a key event's native scan
    // code is its key code.
    for (quint32 code = 0; code < 256; ++code) {
        if (reply->keys[code / 8] & (1u << (code % 8)))
            held.insert(code);
    }
    std::free(reply);
    return held;
}
