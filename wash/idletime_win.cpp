#include "wash/idletime.h"

#include <windows.h>

namespace {

class WindowsIdleTime : public IdleTimeSource {
public:
    std::optional<int64_t> IdleMilliseconds() override
    {
        LASTINPUTINFO info{};
        info.cbSize = sizeof(info);
        if (!GetLastInputInfo(&info))
            return std::nullopt;
        // Both counts wrap after 49.7 days; their difference in 32 bits is still right.
        const DWORD idle = GetTickCount() - info.dwTime;
        return static_cast<int64_t>(idle);
    }
};

} // namespace

std::unique_ptr<IdleTimeSource> PlatformIdleTime(int64_t)
{
    auto source = std::make_unique<WindowsIdleTime>();
    if (!source->IdleMilliseconds())
        return nullptr;
    return source;
}
