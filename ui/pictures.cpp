#include "ui/pictures.h"

QImage MonitorPicture()
{
    return QImage(QStringLiteral(":/images/monitor_wide.bmp"), "BMP");
}

QImage MonitorThumbnail()
{
    return QImage(QStringLiteral(":/images/monitor_tn_wide.bmp"), "BMP");
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/images/icons/%1x%1/glowsweep-wizard.png").arg(size),
                     QSize(size, size));
    return icon;
}
