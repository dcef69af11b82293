// Washes every monitor of the display as the program does, one tick every 250 ms, and reports
// the process's CPU time over the wall time:
//   washcpu [SECONDS] [--full-repaint] [--bars HBARS VBARS]
// The measurement starts after one second, once the windows are up. --full-repaint redraws
// whole windows at every tick, for comparison.
#include "wash/washunit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    int seconds = 30;
    bool fullRepaint = false;
    int32_t hbars = 1;
    int32_t vbars = 0;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--full-repaint")) {
            fullRepaint = true;
        } else if (args[i] == QLatin1String("--bars") && i + 2 < args.size()) {
            hbars = args[i + 1].toInt();
            vbars = args[i + 2].toInt();
            i += 2;
        } else {
            seconds = qBound(1, args[i].toInt(), 3600);
        }
    }

    QWidget owner;
    QList<QPointer<TWashForm>> forms;
    QStringList monitors;
    for (QScreen *screen : QGuiApplication::screens()) {
        forms << new TWashForm(&owner);
        forms.back()->ShowOnMonitor(screen, screen->geometry());
        monitors
            << QStringLiteral("%1x%2").arg(screen->size().width()).arg(screen->size().height());
    }

    int64_t frameCounter = 0;
    QTimer washTimer;
    washTimer.setInterval(250);
    QObject::connect(&washTimer, &QTimer::timeout, [&] {
        for (TWashForm *form : std::as_const(forms)) {
            if (!form)
                continue;
            form->RenderFrame(hbars, vbars, 2, 2, frameCounter);
            if (fullRepaint)
                form->update();
        }
        ++frameCounter;
    });
    washTimer.start();

    QElapsedTimer wall;
    double cpuAtStart = 0;
    QTimer::singleShot(1000, [&] {
        cpuAtStart = CpuSeconds();
        wall.start();
        QTimer::singleShot(seconds * 1000, [&] {
            const double cpu = CpuSeconds() - cpuAtStart;
            const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
            std::printf("washcpu: %s, %d horizontal and %d vertical bars, %s: CPU %.3f s over "
                        "%.1f s = %.2f %% of one core\n",
                        qPrintable(monitors.join(QLatin1Char(' '))), hbars, vbars,
                        fullRepaint ? "full repaint" : "changed pixels only", cpu, elapsed,
                        100.0 * cpu / elapsed);
            QCoreApplication::exit(0);
        });
    });
    return QCoreApplication::exec();
}
