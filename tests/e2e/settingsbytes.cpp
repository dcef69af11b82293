// Writes the settings file the program saves for the given records, through the program's own
// codec, so that an end-to-end test can hold the file the program wrote to it byte for byte.
//
//   e2e_settingsbytes OUT ACTIVATE SCANRATE,BARSIZE,HBARS,VBARS...
//
// One record per monitor, in monitor order. Exit status: 0 written, 2 the arguments are unusable
// or OUT cannot be written.
#include "app/monitorsettings.h"
#include "settings/settingsfile.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <cstdio>
#include <iterator>

namespace {

// The order of a record's numbers on the command line.
constexpr int32_t MonitorSettings::*Fields[] = {&MonitorSettings::ScanRate,
                                                &MonitorSettings::BarSize, &MonitorSettings::HBars,
                                                &MonitorSettings::VBars};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: e2e_settingsbytes OUT ACTIVATE SCANRATE,BARSIZE,HBARS,VBARS...\n");
        return 2;
    }
    bool ok = false;
    const int32_t activate = QByteArray(argv[2]).toInt(&ok);
    if (!ok) {
        std::fprintf(stderr, "e2e_settingsbytes: ACTIVATE '%s' is not a number\n", argv[2]);
        return 2;
    }
    static const QRegularExpression pattern(QStringLiteral(R"(^(-?\d+),(-?\d+),(-?\d+),(-?\d+)$)"));
    QList<MonitorSettings> records;
    for (int i = 3; i < argc; ++i) {
        const QRegularExpressionMatch m = pattern.match(QString::fromLocal8Bit(argv[i]));
        bool fits = m.hasMatch();
        MonitorSettings r = MonitorSettings::ForMonitor(static_cast<int32_t>(records.size()));
        for (size_t field = 0; fits && field < std::size(Fields); ++field)
            r.*Fields[field] = m.captured(static_cast<int>(field) + 1).toInt(&fits);
        if (!fits) {
            std::fprintf(stderr, "e2e_settingsbytes: record '%s' is not four numbers\n", argv[i]);
            return 2;
        }
        records.append(r);
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    const QByteArray bytes = EncodeSettingsFile(records, activate);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() ||
        !out.flush()) {
        std::fprintf(stderr, "e2e_settingsbytes: cannot write %s\n", argv[1]);
        return 2;
    }
    return 0;
}
