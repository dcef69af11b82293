#pragma once

#include <QImage>

/// The monitor picture, 212 x 150, with its 192 x 108 screen area at 10, 10; pure blue
/// outside the monitor's outline is its transparent colour.
QImage MonitorPicture();
/// The same drawing at half size, 106 x 75, for the monitor list.
QImage MonitorThumbnail();

#include <QIcon>

/// The program's icon, in the sizes the desktop may ask for.
QIcon ProgramIcon();
