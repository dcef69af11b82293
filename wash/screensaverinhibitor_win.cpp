#include "wash/screensaverinhibitor.h"

#include <windows.h>

// The execution state belongs to the calling thread, so Inhibit and Release must be called
// on the same thread: the user-interface thread, like everything else in the program.
class ScreenSaverInhibitor::Impl {
public:
    bool wanted = false;
};

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    Release();
}

void ScreenSaverInhibitor::Inhibit(const QString &)
{
    if (d->wanted)
        return;
    d->wanted = true;
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
}

void ScreenSaverInhibitor::Release()
{
    if (!d->wanted)
        return;
    d->wanted = false;
    SetThreadExecutionState(ES_CONTINUOUS);
}

bool ScreenSaverInhibitor::isInhibited() const
{
    return d->wanted;
}

bool ScreenSaverInhibitor::isGranted() const
{
    return d->wanted;
}
