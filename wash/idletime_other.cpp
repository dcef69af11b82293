#include "wash/idletime.h"

std::unique_ptr<IdleTimeSource> PlatformIdleTime(int64_t)
{
    return nullptr;
}
