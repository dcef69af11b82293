// One tick of an "All Monitors" wash on three 3840 x 2160 monitors, painting included: the
// changed regions are drawn to the (offscreen) window surfaces. WashTickFullRepaint redraws
// every pixel of every window at each tick instead, as a wash did before it drew only what
// changes; the two are measured in one run for their ratio.
//   build/bench/bench_washtick
#include "app/gswglobals.h"
#include "ui/gswmainunit.h"
#include "wash/washunit.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void Wash(benchmark::State &state, bool fullRepaint)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    TGswMainForm form(TGswFolders{folder + "/glowsweep-wizard", [folder](int32_t) {
                                      return folder;
                                  }});
    form.show();
    QCoreApplication::processEvents();
    for (MonitorSettings &r : *MonitorSettingsList) {
        r.VBars = static_cast<int32_t>(state.range(0));
        r.HBars = static_cast<int32_t>(state.range(0));
    }
    form.ActivateCB->setCurrentIndex(1);
    WashActive = true;
    form.StartWash();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        form.WashTimerTimer();
        if (fullRepaint) {
            for (TWashForm *w : *WashWindowList)
                w->update();
        }
        QCoreApplication::processEvents(); // the paint events the tick asked for
    }
    state.counters["windows"] = static_cast<double>(WashWindowList->size());
    form.StopWash();
    WashActive = false;
}

} // namespace

void WashTick(benchmark::State &state)
{
    Wash(state, false);
}

void WashTickFullRepaint(benchmark::State &state)
{
    Wash(state, true);
}

BENCHMARK(WashTick)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(WashTickFullRepaint)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" GSW_BENCH_SCREENS);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
