#pragma once

#include <cstdint>

/// The settings of one monitor. Plain data: every writer stores whatever integer it has
/// (a settings file can bring in any value), and every reader checks the range it needs.
struct MonitorSettings {
    int32_t Number = 1;   ///< 1-based monitor number: the monitor's index + 1
    int32_t VBars = 0;    ///< number of vertical bars
    int32_t HBars = 1;    ///< number of horizontal bars
    int32_t BarSize = 2;  ///< index into BarSizeTable
    int32_t ScanRate = 2; ///< index into ScanRateTable

    /// The record a monitor gets at start-up: one horizontal bar, normal size and speed.
    static constexpr MonitorSettings ForMonitor(int32_t index)
    {
        MonitorSettings r;
        r.Number = index + 1;
        return r;
    }

    friend bool operator==(const MonitorSettings &, const MonitorSettings &) = default;
};
