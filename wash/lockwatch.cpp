#include "wash/lockwatch.h"

void TLockWatch::Set(bool &flag, bool on)
{
    const bool before = SaverActive || SessionLocked;
    flag = on;
    const bool now = SaverActive || SessionLocked;
    if (now != before)
        emit lockedChanged(now);
}
