#include "app/monitorsize.h"

#include "app/platformname.h"
#include "wash/waylandclient.h"

#include <QGuiApplication>
#include <QScreen>
#include <memory>
#include <qpa/qplatformscreen.h>
#include <vector>
#include <wayland-client.h>

namespace {

// What one wl_output tells of itself when bound, up to its "done" event.
struct OutputState {
    wl_output *proxy = nullptr;
    uint32_t version = 0;
    TOutputMode mode;
    QSize current;
    bool quarterTurn = false;
};

const wl_output_listener OutputListener{
    .geometry =
        [](void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *,
           const char *, int32_t transform) {
            auto *output = static_cast<OutputState *>(data);
            output->mode.position = QPoint(x, y);
            // The odd transforms turn the output by 90 or 270 degrees, flipped or not.
            output->quarterTurn = (transform & 1) != 0;
        },
    .mode =
        [](void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
            if (flags & WL_OUTPUT_MODE_CURRENT)
                static_cast<OutputState *>(data)->current = QSize(width, height);
        },
    .done = [](void *, wl_output *) {},
    .scale = [](void *, wl_output *, int32_t) {},
    .name = [](void *data, wl_output *,
               const char *name) { static_cast<OutputState *>(data)->mode.name = name; },
    .description = [](void *, wl_output *, const char *) {},
};

// A connection of our own to the compositor Qt is connected to.
struct Connection {
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection()
    {
        if (display)
            wl_display_disconnect(display);
    }
    wl_display *display = wl_display_connect(nullptr);
};

// The compositor's outputs, asked afresh: Qt keeps each output's current mode to itself. Not
// on Qt's connection: the compositor names every output object a client holds in its windows'
// enter and leave events, and Qt takes any output it is named for one of its own.
QList<TOutputMode> WaylandOutputModes()
{
    const Connection connection;
    WaylandGlobals globals(connection.display);
    std::vector<std::unique_ptr<OutputState>> outputs;
    for (const auto &[proxy, version] : globals.BindAll(&wl_output_interface, 4)) {
        auto &output = outputs.emplace_back(std::make_unique<OutputState>());
        output->proxy = reinterpret_cast<wl_output *>(proxy);
        output->version = version;
        wl_output_add_listener(output->proxy, &OutputListener, output.get());
    }
    const bool answered = globals.Roundtrip();
    QList<TOutputMode> modes;
    for (const auto &output : outputs) {
        if (answered) {
            output->mode.size =
                output->quarterTurn ? output->current.transposed() : output->current;
            modes.append(output->mode);
        }
        if (output->version >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(output->proxy);
        else
            wl_output_destroy(output->proxy);
    }
    return modes;
}

} // namespace

QList<TMonitorSize> MonitorPixelSizes(const QList<QScreen *> &screens)
{
    QList<TMonitorSize> sizes;
    if (IsWayland()) {
        const QList<TOutputMode> modes = WaylandOutputModes();
        for (const QScreen *screen : screens)
            sizes.append(MatchOutputSize(screen->name(), screen->geometry(), modes));
        return sizes;
    }
    // Elsewhere the platform's own rectangle of the screen is in the monitor's pixels, where
    // the logical size times a fractional scale may round to a pixel more or less.
    for (const QScreen *screen : screens) {
        const QPlatformScreen *native = screen->handle();
        sizes.append(
            {native ? native->geometry().size()
                    : (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize(),
             false});
    }
    return sizes;
}
