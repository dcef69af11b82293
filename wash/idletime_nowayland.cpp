#include "wash/idletime_linux.h"

// Built without Wayland support: a Wayland session's idle time is not read.
std::unique_ptr<IdleSource> WaylandIdleTime(int64_t)
{
    return nullptr;
}
