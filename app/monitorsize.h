#pragma once

#include "app/commandline.h"

class QScreen;

/// The size of `screen` as --list-monitors and the monitor list state it: in the monitor's own
/// pixels where the platform tells them, else its logical size, marked as such.
TMonitorSize MonitorPixelSize(const QScreen &screen);
