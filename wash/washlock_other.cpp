#include "wash/washlock.h"

// Where no lock is shared between the program's instances, none is seen washing.
class TWashLock::Impl {};

QString TWashLock::DefaultPath()
{
    return {};
}

TWashLock::TWashLock(const QString &) {}
TWashLock::~TWashLock() = default;
void TWashLock::Hold() {}
void TWashLock::Release() {}
bool TWashLock::OthersHold() const
{
    return false;
}
