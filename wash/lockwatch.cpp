#include "wash/lockwatch.h"

#include <algorithm>

TLockWatch::TLockWatch(QObject *parent)
    : QObject(parent)
{
}

void TLockWatch::Set(Source source, State state)
{
    const auto it = std::find_if(States.begin(), States.end(),
                                 [source](const auto &entry) { return entry.first == source; });
    if (it != States.end())
        it->second = state;
    else
        States.append({source, state});
    State combined = State::Unlocked;
    for (const auto &[which, said] : std::as_const(States))
        combined = std::max(combined, said);
    if (combined == Combined)
        return;
    const State before = std::exchange(Combined, combined);
    emit stateChanged(Combined, before);
}
