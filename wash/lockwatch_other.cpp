#include "wash/lockwatch.h"

// Elsewhere the desktop tells no lock the program could follow.
void WatchPlatformLocks(TLockWatch &) {}
