#pragma once

#include <QApplication>

/// Shows `text` in the application's error box: the application's title as caption, the
/// error icon and an OK button, modal over the active window.
void ShowApplicationError(const QString &text);

/// The application object. An error that escapes an event handler ends up here: it is shown
/// in the error box and the event loop goes on.
class TGswApplication : public QApplication {
    Q_OBJECT
public:
    TGswApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
