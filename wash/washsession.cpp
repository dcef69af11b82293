#include "wash/washsession.h"

#include "app/gswglobals.h"
#include "wash/screensaverinhibitor.h"
#include "wash/washlock.h"
#include "wash/washunit.h"

#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <climits>

WashClock SteadyClock()
{
    return [] {
        using namespace std::chrono;
        return static_cast<int64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

TWashSession::TWashSession(QWidget *owner, WashClock clock)
    : QObject(owner)
    , Owner(owner)
    , Clock(std::move(clock))
    , Inhibitor(new ScreenSaverInhibitor(this))
    , EndTimer(new QTimer(this))
{
    EndTimer->setSingleShot(true);
    connect(EndTimer, &QTimer::timeout, this, &TWashSession::CheckDeadline);
    connect(Inhibitor, &ScreenSaverInhibitor::cannotHold, this, &TWashSession::cannotKeepAwake);
}

TWashSession::~TWashSession()
{
    Inhibitor->Release();
}

void TWashSession::SetInhibitor(ScreenSaverInhibitor *inhibitor)
{
    delete Inhibitor;
    Inhibitor = inhibitor;
    Inhibitor->setParent(this);
    connect(Inhibitor, &ScreenSaverInhibitor::cannotHold, this, &TWashSession::cannotKeepAwake);
}

void TWashSession::SetWashLock(std::unique_ptr<TWashLock> lock)
{
    WashLock = std::move(lock);
}

void TWashSession::BeginWash(int target, bool unattended)
{
    WashActive = true;
    emit washBegins();
    StartWash(target);
    // No window could be opened (the monitor has gone since start-up): there is no wash.
    if (WashWindowList->isEmpty()) {
        EndWash();
        if (unattended)
            emit unattendedOver();
        return;
    }
    Unattended = unattended;
}

void TWashSession::EndWash()
{
    WashActive = false;
    emit washEnds();
    StopWash();
}

void TWashSession::EndAnyWash()
{
    if (WashActive)
        EndWash();
    else
        StopWash();
}

void TWashSession::StartWash(int target)
{
    if (!WashWindowList->isEmpty())
        StopWash();
    WashAll = target == AllMonitors;
    if (WashAll) {
        for (int i = 0; i < MonitorSettingsList->size(); ++i)
            OpenWashWindow(i);
    } else {
        OpenWashWindow(target);
    }
    if (WashWindowList->isEmpty())
        return;
    if (WashLock)
        WashLock->Hold();
    if (KeepAwake)
        Inhibitor->Inhibit(QStringLiteral("A Glowsweep wash is running"));
    if (WashDuration) {
        Deadline = Clock() + *WashDuration;
        EndTimer->start(static_cast<int>(std::clamp<int64_t>(*WashDuration, 0, INT_MAX)));
    }
}

void TWashSession::OpenWashWindow(int index)
{
    QScreen *screen = index >= 0 && index < Monitors.size() ? Monitors[index].data() : nullptr;
    if (!screen || index >= MonitorSettingsList->size())
        return;
    auto *form = new TWashForm(Owner);
    form->Tag = index;
    form->KeepAwake = KeepAwake;
    connect(form, &TWashForm::keyDown, this, &TWashSession::keyDown);
    connect(form, &TWashForm::clicked, this, &TWashSession::clicked);
    connect(form, &TWashForm::released, this, &TWashSession::WashWindowReleased);
    form->ShowOnMonitor(screen, screen->geometry());
    WashWindowList->append(form);
}

void TWashSession::WashWindowReleased(TWashForm *form)
{
    if (!WashWindowList)
        return;
    WashWindowList->removeAll(form);
    // The last window closed by some other path (the window manager, an unplugged monitor)
    // ends the wash as the button would; an unattended wash is then over.
    if (!Stopping && WashActive && WashWindowList->isEmpty()) {
        if (Unattended)
            emit unattendedOver();
        else
            EndWash();
    }
}

void TWashSession::StopWash()
{
    Stopping = true;
    const QList<TWashForm *> windows = *WashWindowList; // closing takes each out of the list
    for (TWashForm *form : windows)
        form->close();
    WashWindowList->clear();
    Stopping = false;
    if (WashLock)
        WashLock->Release();
    Inhibitor->Release();
    EndTimer->stop();
    Unattended = false;
}

void TWashSession::CheckDeadline()
{
    if (!WashActive || !WashDuration)
        return;
    // A timer's interval is an int of milliseconds and may fire a little early: a longer or
    // early wait goes on in steps up to the deadline.
    const int64_t remaining = Deadline - Clock();
    if (remaining > 0) {
        EndTimer->start(static_cast<int>(std::min<int64_t>(remaining, INT_MAX)));
        return;
    }
    if (Unattended)
        emit unattendedOver();
    else
        EndWash();
}

void TWashSession::MonitorsChanged()
{
    if (!WashActive)
        return;
    for (TWashForm *form : std::as_const(*WashWindowList))
        form->Tag = static_cast<int>(Monitors.indexOf(form->WashedScreen())); // -1: gone
    if (WashAll) {
        for (int i = 0; i < Monitors.size(); ++i) {
            const bool covered = std::any_of(WashWindowList->begin(), WashWindowList->end(),
                                             [i](const TWashForm *form) { return form->Tag == i; });
            if (!covered)
                OpenWashWindow(i);
        }
    }
    for (TWashForm *form : std::as_const(*WashWindowList)) {
        if (form->Tag >= 0) // a window whose monitor went closes by itself
            form->KeepOnTop();
    }
}

void TWashSession::Tick()
{
    if (WashActive) {
        for (TWashForm *form : *WashWindowList) {
            if (form->Tag < 0 || form->Tag >= MonitorSettingsList->size())
                continue;
            const MonitorSettings &r = (*MonitorSettingsList)[form->Tag];
            form->RenderFrame(r.HBars, r.VBars, r.ScanRate, r.BarSize, FrameCounter);
        }
    } else {
        emit previewTick();
    }
    ++FrameCounter;
}
