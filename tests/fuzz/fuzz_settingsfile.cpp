// Arbitrary bytes as a settings file: decoding and loading stay within bounds, keep every
// record's table indices valid, and whatever was loaded saves and loads back unchanged.

#include "settings/settingsfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

QList<MonitorSettings> FreshRecords()
{
    return {MonitorSettings::ForMonitor(0), MonitorSettings::ForMonitor(1),
            MonitorSettings::ForMonitor(2)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QList<MonitorSettings> records = FreshRecords();
    const std::optional<int32_t> activate = ApplySettingsLines(DecodeSettingsText(bytes), records);
    for (qsizetype i = 0; i < records.size(); ++i) {
        Check(records[i].Number == i + 1);
        Check(records[i].ScanRate >= 0 && records[i].ScanRate <= 4);
        Check(records[i].BarSize >= 0 && records[i].BarSize <= 4);
    }

    const int32_t index = activate.value_or(-1);
    QList<MonitorSettings> reloaded = FreshRecords();
    Check(ApplySettingsLines(DecodeSettingsText(EncodeSettingsFile(records, index)), reloaded) ==
          index);
    Check(reloaded == records);

    int32_t number = 0;
    const QString value = QString::fromUtf8(bytes.left(64));
    if (ConvertSettingsInteger(value, number)) {
        int32_t again = 0;
        Check(ConvertSettingsInteger(QString::number(number), again) && again == number);
    }
    return 0;
}
