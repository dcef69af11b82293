#include "app/heldkeys.h"

// Windows marks the repeats of a key held from before as repeats, and Wayland compositors do
// not repeat keys at all: nothing needs to be known.
QSet<quint32> KeysHeldNow()
{
    return {};
}
