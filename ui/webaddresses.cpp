#include "ui/webaddresses.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>

QUrl HelpPageUrl()
{
    const QString installed = QCoreApplication::applicationDirPath() +
                              QStringLiteral("/../share/glowsweep-wizard/help.html");
    if (QFileInfo::exists(installed))
        return QUrl::fromLocalFile(QFileInfo(installed).canonicalFilePath());
    return QUrl::fromLocalFile(QStringLiteral(GSW_SOURCE_DIR "/ui/help/help.html"));
}

QUrl ProductHomePageUrl()
{
    return QUrl(QStringLiteral("https://glowsweep.example.org/"));
}

QUrl MakerHomePageUrl()
{
    return QUrl(QStringLiteral("https://kestrion.example.org/"));
}

void OpenWebAddress(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
