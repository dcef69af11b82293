#pragma once

#include "app/commandline.h"

class QScreen;

/// The sizes of `screens`, in order, as --list-monitors and the monitor list state them: in each
/// monitor's own pixels where the platform tells them, else its logical size, marked as such. The
/// platform is asked once for all of them.
QList<TMonitorSize> MonitorPixelSizes(const QList<QScreen *> &screens);
