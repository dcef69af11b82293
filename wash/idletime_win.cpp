#include "wash/idletime.h"

#include <QTimer>
#include <algorithm>
#include <climits>
#include <windows.h>

namespace {

/// Windows keeps the time of the last input but tells nobody when it changes. One timer waits
/// for the time left until the delay. Once idle, the time of the last input is read again a
/// delay later, and at every tick of a wash (Look): input that comes later than a delay after
/// the last reading cannot have reached the delay before the next one, so nothing is missed
/// while nothing is on screen, and a wash ends within a tick.
class WindowsIdleSource : public IdleSource {
public:
    explicit WindowsIdleSource(int64_t delay)
        : Delay(static_cast<DWORD>(std::clamp<int64_t>(delay, 1, INT_MAX)))
        , Timer(new QTimer(this))
    {
        Timer->setSingleShot(true);
        connect(Timer, &QTimer::timeout, this, &WindowsIdleSource::Check);
        Check();
    }

    static std::optional<DWORD> LastInput()
    {
        LASTINPUTINFO info{};
        info.cbSize = sizeof(info);
        if (!GetLastInputInfo(&info))
            return std::nullopt;
        return info.dwTime;
    }

    void Look() override
    {
        if (IsIdle())
            Check();
    }

    void WashWindowsChanged() override
    {
        ChangedAt = GetTickCount();
        GetCursorPos(&CursorAtChange);
    }

private:
    /// How long after the wash windows appear or go a pointer move may be the window system's.
    static constexpr DWORD Settle = 1000;

    /// Whether the input at `tick` is a pointer move made up for the wash windows: Windows sends
    /// a window that appears under the pointer a move, which Wine also dates as input.
    bool MadeUp(DWORD tick) const
    {
        POINT cursor{};
        // Tick counts wrap after 49.7 days; their differences in 32 bits are still right.
        return tick - ChangedAt <= Settle && GetCursorPos(&cursor) &&
               cursor.x == CursorAtChange.x && cursor.y == CursorAtChange.y;
    }

    void Check()
    {
        const std::optional<DWORD> last = LastInput();
        if (!last) {
            Timer->start(static_cast<int>(Delay));
            return;
        }
        if (IsIdle()) {
            if (*last == Seen)
                return Wait(Delay);
            if (MadeUp(*last)) {
                Seen = *last; // not the user's
                return Wait(Delay);
            }
            SetIdle(false);
        }
        const DWORD idle = GetTickCount() - *last;
        if (idle < Delay)
            return Wait(Delay - idle);
        Seen = *last;
        SetIdle(true);
        Wait(Delay);
    }

    void Wait(DWORD milliseconds)
    {
        // Look may have run the check early; the timer restarts from now.
        Timer->start(static_cast<int>(milliseconds));
    }

    DWORD Delay;
    QTimer *Timer;
    DWORD Seen = 0; // the last input at the start of this idle period, or made up since
    DWORD ChangedAt = 0;
    POINT CursorAtChange{LONG_MIN, LONG_MIN};
};

} // namespace

std::unique_ptr<IdleSource> PlatformIdleSource(int64_t delay)
{
    if (!WindowsIdleSource::LastInput())
        return nullptr;
    return std::make_unique<WindowsIdleSource>(delay);
}
