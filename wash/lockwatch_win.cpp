#include "wash/lockwatch.h"

#include <QTimer>
#include <windows.h>

namespace {

/// The screen saver runs, or the keyboard and mouse go to another desktop than the user's: the
/// lock screen (and any secure prompt) is a desktop of its own, which the user's program may
/// neither open nor switch to.
bool ScreenLocked()
{
    BOOL saverRunning = FALSE;
    if (SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &saverRunning, 0) && saverRunning)
        return true;
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
    if (!input)
        return true;
    const bool ours = SwitchDesktop(input) != FALSE;
    CloseDesktop(input);
    return !ours;
}

} // namespace

// Windows tells a lock only to a window registered for session messages; asking once a second
// needs none, and a wash behind the lock ends within that second.
void WatchPlatformLocks(TLockWatch &watch)
{
    using State = TLockWatch::State;
    auto read = [&watch] {
        watch.Set(TLockWatch::Source::WindowsSession,
                  ScreenLocked() ? State::Locked : State::Unlocked);
    };
    auto *poll = new QTimer(&watch);
    poll->setInterval(1000);
    QObject::connect(poll, &QTimer::timeout, &watch, read);
    poll->start();
    read();
}
