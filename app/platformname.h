#pragma once

#include <QGuiApplication>

/// True where the program runs as a Wayland client, which can neither place its own windows
/// nor learn where they are.
inline bool IsWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
