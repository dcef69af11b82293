#pragma once

// The desktops' own ways of telling the idle time, tried in turn by PlatformIdleTime. Each is
// null where its desktop is not the one running, or does not answer.

#include "wash/idletime.h"

/// GNOME's compositor, on X11 and Wayland alike, over the session bus.
std::unique_ptr<IdleTimeSource> GnomeIdleTime();
/// The Wayland compositor's idle notifications, where the program runs as a Wayland client.
std::unique_ptr<IdleTimeSource> WaylandIdleTime(int64_t delay);
/// The X server, where the program runs as an X client of a server that is not XWayland.
std::unique_ptr<IdleTimeSource> XcbIdleTime();
