#include "ui/webaddresses.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

QUrl HelpPageUrl()
{
    // Beside the program in the Windows folder, where the package installs it, or in the
    // source tree for a program run from its build folder.
    const QString programFolder = QCoreApplication::applicationDirPath();
    for (const QString &installed :
         {programFolder + QStringLiteral("/help.html"),
          programFolder + QStringLiteral("/../share/glowsweep-wizard/help.html")}) {
        if (QFileInfo::exists(installed))
            return QUrl::fromLocalFile(QFileInfo(installed).canonicalFilePath());
    }
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

QString NoBrowserText(const QUrl &url)
{
    const QString address =
        url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
    return QStringLiteral("No web browser could be started. To read the page, open this address "
                          "in a browser:\n\n%1")
        .arg(address);
}

void OpenWebAddress(const QUrl &url, QWidget *owner)
{
    if (QDesktopServices::openUrl(url))
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), NoBrowserText(url),
                    QMessageBox::Ok, owner);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse); // so that it can be copied
    box.exec();
}
