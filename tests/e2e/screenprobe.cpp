// Shows what Qt's platform layer makes of the X server's monitors, so that the end-to-end harness
// can be checked against a layout it set up itself.
//
//   screenprobe                prints "screen INDEX NAME WxH+X+Y" for every screen, then exits
//   screenprobe --cover INDEX  then also covers that screen edge to edge with a frameless magenta
//                              window, prints "shown ..." once it is exposed, and reports input as
//                              "click X Y" (global position) and "key TEXT"; Esc ends it
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString describe(const QRect &r)
{
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

class CoverWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(0, 0), size()), QColor(255, 0, 255));
    }

    void exposeEvent(QExposeEvent *event) override
    {
        QRasterWindow::exposeEvent(event);
        if (isExposed() && !reportedShown_) {
            reportedShown_ = true;
            out() << "shown " << describe(geometry()) << Qt::endl;
        }
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        const QPoint global = event->globalPosition().toPoint();
        out() << "click " << global.x() << ' ' << global.y() << Qt::endl;
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            out() << "key Escape" << Qt::endl;
            QGuiApplication::quit();
            return;
        }
        out() << "key " << event->text() << Qt::endl;
    }

private:
    bool reportedShown_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (qsizetype i = 0; i < screens.size(); ++i)
        out() << "screen " << i << ' ' << screens[i]->name() << ' '
              << describe(screens[i]->geometry()) << Qt::endl;

    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 || args[1] != QLatin1String("--cover"))
        return args.size() == 1 ? 0 : 2;
    bool ok = false;
    const qsizetype index = args[2].toLongLong(&ok);
    if (!ok || index < 0 || index >= screens.size()) {
        std::fprintf(stderr, "screenprobe: no screen %s\n", qPrintable(args[2]));
        return 2;
    }

    CoverWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setScreen(screens[index]);
    window.setGeometry(screens[index]->geometry());
    window.show();
    return QGuiApplication::exec();
}
