#include "wash/screensaverinhibitor.h"

// No screen-saver service is known on this platform: the state is kept, nothing is asked.
class ScreenSaverInhibitor::Impl {
public:
    bool wanted = false;
};

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor() = default;

void ScreenSaverInhibitor::Inhibit(const QString &)
{
    d->wanted = true;
}

void ScreenSaverInhibitor::Release()
{
    d->wanted = false;
}

bool ScreenSaverInhibitor::isInhibited() const
{
    return d->wanted;
}

bool ScreenSaverInhibitor::isGranted() const
{
    return d->wanted;
}
