#include "app/gswapplication.h"

#include "app/gswglobals.h"
#include "settings/settingsfile.h"

#include <QMessageBox>

void ShowApplicationError(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

TGswApplication::TGswApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(ApplicationTitle);
}

bool TGswApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const SettingsFileError &e) {
        ShowApplicationError(e.message());
    } catch (const std::exception &e) {
        ShowApplicationError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
