#include "wash/idletime_linux.h"

std::unique_ptr<IdleSource> PlatformIdleSource(int64_t delay)
{
    // GNOME first: under it the program is most often an XWayland client, whose X server sees
    // only the input that goes to X programs.
    if (auto gnome = GnomeIdleTime(delay))
        return gnome;
    if (auto wayland = WaylandIdleTime(delay))
        return wayland;
    return XcbIdleTime(delay);
}
