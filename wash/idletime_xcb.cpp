#include "wash/idletime_linux.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <xcb/sync.h>
#include <xcb/xcb.h>

namespace {

xcb_sync_int64_t SyncValue(int64_t value)
{
    return {static_cast<int32_t>(value >> 32), static_cast<uint32_t>(value & 0xffffffff)};
}

/// The X server's IDLETIME counter, which counts from the last input of any client, watched by
/// two SYNC alarms: one that goes off when the count reaches the delay, and one, set once it
/// has, that goes off when input starts the count again. The X server tells both as events on
/// Qt's connection, which the event loop reads anyway.
class XcbIdleSource : public IdleSource, public QAbstractNativeEventFilter {
public:
    XcbIdleSource(xcb_connection_t *connection, xcb_sync_counter_t counter, uint8_t firstEvent,
                  int64_t delay)
        : Connection(connection)
        , Counter(counter)
        , AlarmNotify(static_cast<uint8_t>(firstEvent + XCB_SYNC_ALARM_NOTIFY))
        , Delay(delay)
        , IdleAlarm(xcb_generate_id(connection))
        , InputAlarm(xcb_generate_id(connection))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        // The input alarm waits unarmed, on a count no counter goes below.
        SetAlarm(InputAlarm, XCB_SYNC_TESTTYPE_NEGATIVE_COMPARISON,
                 std::numeric_limits<int64_t>::min(), true);
        // Goes off at once where the session is idle already.
        SetAlarm(IdleAlarm, XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, Delay, true);
        xcb_flush(Connection);
    }

    ~XcbIdleSource() override
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_sync_destroy_alarm(Connection, IdleAlarm);
        xcb_sync_destroy_alarm(Connection, InputAlarm);
        xcb_flush(Connection);
    }

    XcbIdleSource(const XcbIdleSource &) = delete;
    XcbIdleSource &operator=(const XcbIdleSource &) = delete;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != AlarmNotify)
            return false;
        xcb_sync_alarm_notify_event_t alarm;
        std::memcpy(&alarm, event, sizeof alarm);
        if (alarm.alarm == IdleAlarm) {
            // Armed below the delay: a count that started again since the idle alarm went off
            // sets it off at once.
            SetAlarm(InputAlarm, XCB_SYNC_TESTTYPE_NEGATIVE_COMPARISON, Delay - 1, false);
            xcb_flush(Connection);
            SetIdle(true);
        } else if (alarm.alarm == InputAlarm && IsIdle()) {
            SetAlarm(IdleAlarm, XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON, Delay, false);
            xcb_flush(Connection);
            SetIdle(false);
        } else {
            return false;
        }
        return true; // ours alone
    }

private:
    /// Creates or changes `alarm` to go off once the count meets `test` against `value`. With no
    /// step after it goes off, the X server sets the alarm inactive until it is changed again.
    void SetAlarm(xcb_sync_alarm_t alarm, uint32_t test, int64_t value, bool create)
    {
        constexpr uint32_t mask = XCB_SYNC_CA_COUNTER | XCB_SYNC_CA_VALUE_TYPE | XCB_SYNC_CA_VALUE |
                                  XCB_SYNC_CA_TEST_TYPE | XCB_SYNC_CA_DELTA | XCB_SYNC_CA_EVENTS;
        // The request to create an alarm and the one to change it take the same values.
        const auto fill = [&](auto &values) {
            values.counter = Counter;
            values.valueType = XCB_SYNC_VALUETYPE_ABSOLUTE;
            values.value = SyncValue(value);
            values.testType = test;
            values.delta = SyncValue(0);
            values.events = 1;
        };
        if (create) {
            xcb_sync_create_alarm_value_list_t values{};
            fill(values);
            xcb_sync_create_alarm_aux(Connection, alarm, mask, &values);
        } else {
            xcb_sync_change_alarm_value_list_t values{};
            fill(values);
            xcb_sync_change_alarm_aux(Connection, alarm, mask, &values);
        }
    }

    xcb_connection_t *Connection;
    xcb_sync_counter_t Counter;
    uint8_t AlarmNotify;
    int64_t Delay;
    xcb_sync_alarm_t IdleAlarm;
    xcb_sync_alarm_t InputAlarm;
};

/// The X server's IDLETIME system counter; 0 where it has none. The list is read from the reply's
/// bytes: libxcb's accessors take each entry's name from two bytes too far on.
xcb_sync_counter_t IdleTimeCounter(xcb_connection_t *connection)
{
    xcb_sync_list_system_counters_reply_t *reply = xcb_sync_list_system_counters_reply(
        connection, xcb_sync_list_system_counters(connection), nullptr);
    if (!reply)
        return 0;
    // Each entry: a 32-bit counter, a 64-bit resolution, a 16-bit name length, the name, then
    // padding to four bytes.
    static constexpr size_t Head = 4 + 8 + 2;
    static constexpr char Name[] = "IDLETIME";
    const auto *at = reinterpret_cast<const unsigned char *>(reply + 1);
    const unsigned char *end = at + size_t{reply->length} * 4;
    xcb_sync_counter_t found = 0;
    for (uint32_t i = 0; i < reply->counters_len && size_t(end - at) >= Head; ++i) {
        uint16_t length = 0;
        std::memcpy(&length, at + 12, sizeof length);
        if (size_t(end - at) < Head + length)
            break;
        if (length == sizeof Name - 1 && std::memcmp(at + Head, Name, length) == 0) {
            std::memcpy(&found, at, sizeof found);
            break;
        }
        at += (Head + length + 3) / 4 * 4;
    }
    std::free(reply);
    return found;
}

/// True where the X server is XWayland, which counts only the input that goes to X programs: a
/// wash would start while the user types into a Wayland window.
bool IsXWayland(xcb_connection_t *connection)
{
    static constexpr char XWayland[] = "XWAYLAND";
    xcb_query_extension_reply_t *reply = xcb_query_extension_reply(
        connection, xcb_query_extension(connection, sizeof XWayland - 1, XWayland), nullptr);
    const bool underWayland = !reply || reply->present;
    std::free(reply);
    return underWayland;
}

} // namespace

std::unique_ptr<IdleSource> XcbIdleTime(int64_t delay)
{
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection || IsXWayland(connection))
        return nullptr;
    const xcb_query_extension_reply_t *sync = xcb_get_extension_data(connection, &xcb_sync_id);
    if (!sync || !sync->present)
        return nullptr;
    // The extension's version must be asked before its requests are used.
    std::free(xcb_sync_initialize_reply(
        connection, xcb_sync_initialize(connection, XCB_SYNC_MAJOR_VERSION, XCB_SYNC_MINOR_VERSION),
        nullptr));
    const xcb_sync_counter_t counter = IdleTimeCounter(connection);
    if (!counter)
        return nullptr;
    return std::make_unique<XcbIdleSource>(connection, counter, sync->first_event,
                                           std::clamp<int64_t>(delay, 1, INT32_MAX));
}
