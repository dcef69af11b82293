#include "wash/idletime.h"

std::unique_ptr<IdleSource> PlatformIdleSource(int64_t)
{
    return nullptr;
}
