#include "app/monitorsize.h"

#include <QGuiApplication>
#include <QScreen>

TMonitorSize MonitorPixelSize(const QScreen &screen)
{
    // Without Wayland support a Wayland output's pixels are unknown: its scale may be a
    // fraction that Qt rounds up.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return {screen.geometry().size(), true};
    return {(QSizeF(screen.geometry().size()) * screen.devicePixelRatio()).toSize(), false};
}
