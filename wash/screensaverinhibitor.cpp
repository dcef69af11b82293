#include "wash/screensaverinhibitor.h"

#include "wash/screensaverinhibition.h"

ScreenSaverInhibitor::ScreenSaverInhibitor(QObject *parent)
    : QObject(parent)
    , d(MakeScreenSaverInhibition())
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    Release();
}

void ScreenSaverInhibitor::Inhibit(const QString &reason)
{
    if (Wanted)
        return;
    Wanted = true;
    d->Ask(reason);
    if (const QString what = d->Unheld(); !what.isEmpty())
        emit cannotHold(what);
}

void ScreenSaverInhibitor::Release()
{
    if (!Wanted)
        return;
    Wanted = false;
    d->GiveBack();
}

void ScreenSaverInhibitor::ReleaseNow()
{
    Release();
    d->Flush();
}

bool ScreenSaverInhibitor::isInhibited() const
{
    return Wanted;
}

bool ScreenSaverInhibitor::isGranted() const
{
    return d->isGranted();
}
