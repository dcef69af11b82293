#pragma once

// The desktops' own ways of telling the idle time, tried in turn by PlatformIdleSource. Each is
// null where its desktop is not the one running.

#include "wash/idletime.h"

/// GNOME's compositor, on X11 and Wayland alike, over the session bus.
std::unique_ptr<IdleSource> GnomeIdleTime(int64_t delay);
/// The Wayland compositor's idle notifications, where the program runs as a Wayland client.
std::unique_ptr<IdleSource> WaylandIdleTime(int64_t delay);
/// The X server, where the program runs as an X client of a server that is not XWayland.
std::unique_ptr<IdleSource> XcbIdleTime(int64_t delay);
