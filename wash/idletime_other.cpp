#include "wash/idletime.h"

std::unique_ptr<IdleTimeSource> PlatformIdleTime()
{
    return nullptr;
}
