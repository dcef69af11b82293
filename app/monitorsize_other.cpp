#include "app/monitorsize.h"

#include "app/platformname.h"

#include <QGuiApplication>
#include <QScreen>

QList<TMonitorSize> MonitorPixelSizes(const QList<QScreen *> &screens)
{
    // Without Wayland support a Wayland output's pixels are unknown: its scale may be a
    // fraction that Qt rounds up.
    const bool wayland = IsWayland();
    QList<TMonitorSize> sizes;
    for (const QScreen *screen : screens) {
        const QSize logical = screen->geometry().size();
        sizes.append(
            wayland ? TMonitorSize{logical, true}
                    : TMonitorSize{(QSizeF(logical) * screen->devicePixelRatio()).toSize(), false});
    }
    return sizes;
}
