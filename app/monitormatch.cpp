#include "app/monitormatch.h"

#include <algorithm>

QList<MonitorSettings> MatchMonitorRecords(const QList<MonitorIdentity> &before,
                                           const QList<MonitorSettings> &records,
                                           const QList<MonitorIdentity> &now, GoneMonitors &gone,
                                           const std::function<MonitorSettings(int)> &startRecord)
{
    const auto stayed = [](const MonitorIdentity &a, const MonitorIdentity &b) {
        return a.screen && a.screen == b.screen && a.name == b.name;
    };
    const auto count = std::min(before.size(), records.size());
    for (qsizetype i = 0; i < count; ++i) {
        const bool left = std::none_of(
            now.begin(), now.end(), [&](const MonitorIdentity &m) { return stayed(m, before[i]); });
        if (left)
            gone.prepend({before[i], records[i]});
    }

    QList<MonitorSettings> result;
    for (qsizetype i = 0; i < now.size(); ++i) {
        const auto position = static_cast<int>(i);
        const auto kept = std::find_if(before.begin(), before.begin() + count,
                                       [&](const MonitorIdentity &m) { return stayed(m, now[i]); });
        MonitorSettings record;
        if (kept != before.begin() + count) {
            record = records[kept - before.begin()];
        } else if (const auto back =
                       std::find_if(gone.begin(), gone.end(),
                                    [&](const auto &g) { return g.first.SameMonitor(now[i]); });
                   back != gone.end()) {
            record = back->second;
            gone.erase(back);
        } else {
            record = startRecord(position);
        }
        record.Number = position + 1;
        result.append(record);
    }
    return result;
}
