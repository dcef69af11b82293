#include "wash/idlewatch.h"

#include "wash/idletime.h"

#include <QTimer>
#include <algorithm>

namespace {

/// How far the platform's count of idle time and the watch's clock may drift apart between
/// two readings; far less than ShortestDelay, which is the margin a wash starts with.
constexpr int64_t Slack = TIdleWatch::ShortestDelay / 2;

} // namespace

TIdleWatch::TIdleWatch(std::unique_ptr<IdleTimeSource> source, int64_t delay, WashClock clock,
                       QObject *parent)
    : QObject(parent)
    , Source(std::move(source))
    , Delay(std::max(delay, ShortestDelay))
    , Clock(std::move(clock))
    , PollTimer(new QTimer(this))
{
    PollTimer->setInterval(PollInterval);
    connect(PollTimer, &QTimer::timeout, this, &TIdleWatch::Poll);
}

TIdleWatch::~TIdleWatch() = default;

void TIdleWatch::Start()
{
    PollTimer->start();
    Poll();
}

void TIdleWatch::Poll()
{
    const std::optional<int64_t> idle = Source->IdleMilliseconds();
    if (!idle)
        return; // a reading that failed changes nothing
    const int64_t now = Clock();
    const int64_t lastInput = now - *idle;
    // A wash starts at least ShortestDelay after the last input; input since it began shows as
    // a last input after its start.
    const bool inputSinceWash = LastWashStart && lastInput > *LastWashStart - Slack;
    if (Washing) {
        if (inputSinceWash)
            End();
        return;
    }
    if (Locked || *idle < Delay || (LastWashStart && !inputSinceWash))
        return;
    Washing = true;
    LastWashStart = now;
    emit washDue();
}

void TIdleWatch::SetLocked(bool locked)
{
    Locked = locked;
    if (Locked && Washing)
        End();
}

void TIdleWatch::End()
{
    Washing = false;
    emit washOver();
}
