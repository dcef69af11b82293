#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Glowsweep Wizard"));
    QWidget window;
    window.setWindowTitle(QStringLiteral("Glowsweep Wizard"));
    window.show();
    return app.exec();
}
