#include "app/monitorsettings.h"
#include "app/version.h"

#include <gtest/gtest.h>

TEST(FormatVersion, HundredthsAsText)
{
    const struct {
        int32_t version;
        const char *text;
    } rows[] = {{100, "1.00"}, {105, "1.05"},   {250, "2.50"},
                {7, "0.07"},   {1234, "12.34"}, {0, "0.00"}};
    for (const auto &row : rows)
        EXPECT_EQ(FormatVersion(row.version), QByteArray(row.text)) << row.version;
    EXPECT_EQ(FormatVersion(ProgramVersion), QByteArray("1.00"));
}

TEST(PadLeftZeros, PadsOnlyShortText)
{
    const struct {
        const char *in;
        int32_t width;
        const char *out;
    } rows[] = {{"5", 2, "05"}, {"", 2, "00"},  {"123", 2, "123"}, {"12", 2, "12"},
                {"7", 0, "7"},  {"7", -3, "7"}, {"", 5, "00000"}};
    for (const auto &row : rows)
        EXPECT_EQ(PadLeftZeros(row.in, row.width), QByteArray(row.out))
            << row.in << " " << row.width;
}

TEST(MonitorSettings, StartUpValuesAndFieldOrder)
{
    const MonitorSettings r = MonitorSettings::ForMonitor(2);
    EXPECT_EQ(r.Number, 3);
    EXPECT_EQ(r.VBars, 0);
    EXPECT_EQ(r.HBars, 1);
    EXPECT_EQ(r.BarSize, 2);
    EXPECT_EQ(r.ScanRate, 2);
    // Five signed 32-bit fields in the order Number, VBars, HBars, BarSize, ScanRate.
    static_assert(sizeof(MonitorSettings) == 5 * sizeof(int32_t));
    EXPECT_EQ(offsetof(MonitorSettings, VBars), 4u);
    EXPECT_EQ(offsetof(MonitorSettings, HBars), 8u);
    EXPECT_EQ(offsetof(MonitorSettings, BarSize), 12u);
    EXPECT_EQ(offsetof(MonitorSettings, ScanRate), 16u);
}
