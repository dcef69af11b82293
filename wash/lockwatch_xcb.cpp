#include "wash/lockwatch.h"
#include "wash/lockwatch_linux.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace {

using State = TLockWatch::State;
using Source = TLockWatch::Source;

/// The X server's own screen saver (MIT-SCREEN-SAVER's notify events) and xscreensaver, which
/// tells whether it blanks or locks in a property on the root window and nowhere else: its
/// session-bus helper answers no question about it and signals nothing. Both come as events on
/// Qt's connection, read by the event loop.
class XcbLocks : public QObject, public QAbstractNativeEventFilter {
public:
    XcbLocks(TLockWatch &watch, xcb_connection_t *connection, xcb_window_t root)
        : QObject(&watch)
        , Watch(watch)
        , Connection(connection)
        , Root(root)
        , Status(Atom("_SCREENSAVER_STATUS"))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        const xcb_query_extension_reply_t *saver =
            xcb_get_extension_data(Connection, &xcb_screensaver_id);
        if (saver && saver->present) {
            SaverNotify = static_cast<uint8_t>(saver->first_event + XCB_SCREENSAVER_NOTIFY);
            xcb_screensaver_select_input(Connection, Root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
            xcb_screensaver_query_info_reply_t *info = xcb_screensaver_query_info_reply(
                Connection, xcb_screensaver_query_info(Connection, Root), nullptr);
            if (info)
                SetSaver(info->state);
            std::free(info);
        }
        // The root window's property changes, added to whatever Qt asked of it on this connection.
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
            Connection, xcb_get_window_attributes(Connection, Root), nullptr);
        if (attributes) {
            const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(Connection, Root, XCB_CW_EVENT_MASK, &mask);
            std::free(attributes);
        }
        ReadStatus();
        xcb_flush(Connection);
    }

    ~XcbLocks() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    XcbLocks(const XcbLocks &) = delete;
    XcbLocks &operator=(const XcbLocks &) = delete;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t type = event->response_type & 0x7f;
        if (SaverNotify && type == SaverNotify) {
            xcb_screensaver_notify_event_t notify;
            std::memcpy(&notify, event, sizeof notify);
            SetSaver(notify.state);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            xcb_property_notify_event_t notify;
            std::memcpy(&notify, event, sizeof notify);
            // Read after the event, not inside Qt's handling of it.
            if (notify.window == Root && notify.atom == Status && Status != XCB_ATOM_NONE)
                QMetaObject::invokeMethod(this, &XcbLocks::ReadStatus, Qt::QueuedConnection);
        }
        return false;
    }

private:
    xcb_atom_t Atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            Connection,
            xcb_intern_atom(Connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    void SetSaver(uint8_t state)
    {
        const bool on = state == XCB_SCREENSAVER_STATE_ON || state == XCB_SCREENSAVER_STATE_CYCLE;
        Watch.Set(Source::XServerSaver, on ? State::Locked : State::Unlocked);
    }

    /// xscreensaver's status: its first number is the atom BLANK or LOCK while it blanks or
    /// locks the screen, 0 otherwise. No property: no xscreensaver.
    void ReadStatus()
    {
        if (Status == XCB_ATOM_NONE)
            return;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            Connection, xcb_get_property(Connection, 0, Root, Status, XCB_ATOM_ANY, 0, 1), nullptr);
        bool blanked = false;
        if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
            uint32_t first = 0;
            std::memcpy(&first, xcb_get_property_value(reply), sizeof first);
            blanked = first != 0;
        }
        std::free(reply);
        Watch.Set(Source::XScreensaver, blanked ? State::Locked : State::Unlocked);
    }

    TLockWatch &Watch;
    xcb_connection_t *Connection;
    xcb_window_t Root;
    xcb_atom_t Status;
    uint8_t SaverNotify = 0;
};

} // namespace

void WatchX11Locks(TLockWatch &watch)
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen)
        new XcbLocks(watch, connection, screen->root);
}
