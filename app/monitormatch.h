#pragma once

#include "app/monitorsettings.h"

#include <QList>
#include <QString>
#include <functional>
#include <utility>

/// What the system tells of a monitor: enough to know it again while it stays, and when it
/// comes back later in the same run.
struct MonitorIdentity {
    const void *screen = nullptr; ///< the live screen object; a new object is a new monitor
    QString name;                 ///< the connector, e.g. "HDMI-1"
    QString manufacturer;
    QString model;
    QString serial;

    /// The same monitor plugged in again: every word the system gave agrees.
    bool SameMonitor(const MonitorIdentity &other) const
    {
        return name == other.name && manufacturer == other.manufacturer && model == other.model &&
               serial == other.serial;
    }
};

/// Records of monitors that went away during the run, the latest first.
using GoneMonitors = QList<std::pair<MonitorIdentity, MonitorSettings>>;

/// The records for the monitors `now`, in its order, given the monitors `before` and their
/// `records` (index for index). A monitor that stayed (the same screen object and name) keeps
/// its record; one that left earlier in the run gets back its record from `gone`; any other
/// gets `startRecord(i)` for its position i. Records of monitors that left are added to `gone`,
/// and those that came back are taken out of it. Every record's Number is its position + 1.
QList<MonitorSettings> MatchMonitorRecords(const QList<MonitorIdentity> &before,
                                           const QList<MonitorSettings> &records,
                                           const QList<MonitorIdentity> &now, GoneMonitors &gone,
                                           const std::function<MonitorSettings(int)> &startRecord);
