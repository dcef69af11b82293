#pragma once

// The X server's part of the lock watch on Linux, beside the session bus's.

class TLockWatch;

/// The X server's own screen saver and xscreensaver's status, where the program runs as an X
/// client; nothing elsewhere.
void WatchX11Locks(TLockWatch &watch);
