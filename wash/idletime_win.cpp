#include "wash/idletime.h"

#include <QTimer>
#include <algorithm>
#include <climits>
#include <windows.h>

namespace {

/// Windows keeps the time of the last input, but tells nobody when it changes: one timer waits
/// for the time left until the delay, and once idle the time of the last input is looked at
/// again until it moves.
class WindowsIdleSource : public IdleSource {
public:
    explicit WindowsIdleSource(int64_t delay)
        : Delay(std::clamp<int64_t>(delay, 1, INT_MAX))
        , Timer(new QTimer(this))
    {
        Timer->setSingleShot(true);
        connect(Timer, &QTimer::timeout, this, &WindowsIdleSource::Check);
        Check();
    }

    static std::optional<int64_t> IdleMilliseconds()
    {
        LASTINPUTINFO info{};
        info.cbSize = sizeof(info);
        if (!GetLastInputInfo(&info))
            return std::nullopt;
        // Both counts wrap after 49.7 days; their difference in 32 bits is still right.
        const DWORD idle = GetTickCount() - info.dwTime;
        return static_cast<int64_t>(idle);
    }

private:
    static constexpr int InputCheck = 250;

    void Check()
    {
        const std::optional<int64_t> idle = IdleMilliseconds();
        if (idle && *idle >= Delay) {
            SetIdle(true);
            Timer->start(InputCheck);
            return;
        }
        if (idle)
            SetIdle(false);
        Timer->start(static_cast<int>(idle ? Delay - *idle : Delay));
    }

    int64_t Delay;
    QTimer *Timer;
};

} // namespace

std::unique_ptr<IdleSource> PlatformIdleSource(int64_t delay)
{
    if (!WindowsIdleSource::IdleMilliseconds())
        return nullptr;
    return std::make_unique<WindowsIdleSource>(delay);
}
