// The program's resident size over many washes, on the display it runs on (the main window and
// every monitor of the display; bench/measure_wash_memory.sh runs it under Xorg):
//   washmemory [CYCLES] [TICKS]
// First CYCLES washes of every monitor, each started through its confirmation, ticked twice and
// stopped as the button does it, after a warm-up of 50; then one wash of TICKS ticks, run as fast
// as they go to stand for hours of washing (100,000 ticks are about seven hours at four a second).
// Figures in KiB.
#include "app/gswglobals.h"
#include "ui/gswmainunit.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

long ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) / 1024 : -1;
}

void Settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void Tick(TGswMainForm &form)
{
    form.WashTimerTimer();
    QCoreApplication::processEvents(); // the paint events the tick asked for
}

// ToggleWash as the button runs it, with its confirmation answered "OK".
void Toggle(TGswMainForm &form)
{
    QTimer::singleShot(0, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Ok)->click();
    });
    form.ToggleWash();
    Settle();
}

void Cycle(TGswMainForm &form)
{
    Toggle(form);
    Tick(form);
    Tick(form);
    Toggle(form);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures show as they come, also into a log
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int cycles = args.size() > 1 ? qBound(1, args[1].toInt(), 1000000) : 1000;
    const qint64 ticks = args.size() > 2 ? qBound(1LL, args[2].toLongLong(), 100000000LL) : 100000;

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    TGswMainForm form(TGswFolders{folder + "/glowsweep-wizard", [folder](int32_t) {
                                      return folder;
                                  }});
    form.show();
    form.ActivateCB->setCurrentIndex(1);
    Settle();

    for (int i = 0; i < 50; ++i)
        Cycle(form);
    const long warm = ResidentKiB();
    std::printf("washmemory: %lld monitors; after 50 warm-up cycles: %ld KiB resident\n",
                static_cast<long long>(MonitorSettingsList->size()), warm);
    for (int i = 1; i <= cycles; ++i) {
        Cycle(form);
        if (i % (cycles < 10 ? 1 : cycles / 10) == 0 || i == cycles)
            std::printf("  after %d more cycles: %ld KiB (%+ld)\n", i, ResidentKiB(),
                        ResidentKiB() - warm);
    }

    Toggle(form);
    const long idle = ResidentKiB();
    for (int i = 0; i < 100; ++i)
        Tick(form);
    const long washing = ResidentKiB();
    std::printf("one wash: %ld KiB before its first tick, %ld KiB after 100 ticks\n", idle,
                washing);
    for (qint64 i = 1; i <= ticks; ++i) {
        Tick(form);
        if (i % (ticks < 10 ? 1 : ticks / 10) == 0 || i == ticks)
            std::printf("  after %lld more ticks: %ld KiB (%+ld)\n", static_cast<long long>(i),
                        ResidentKiB(), ResidentKiB() - washing);
    }
    Toggle(form);
    return 0;
}
