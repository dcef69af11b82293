// Monitors and the windows on them, worked out without a window: which record each monitor
// gets when monitors come and go, snapping the main window to the work area, and the parts of
// a wash window that a new frame changes.

#include "app/monitormatch.h"
#include "app/windowplacement.h"
#include "wash/washregions.h"

#include <gtest/gtest.h>

namespace {

// Records told apart by their bar counts; Number is set by the matching.
MonitorSettings Record(int32_t vbars)
{
    MonitorSettings r;
    r.VBars = vbars;
    return r;
}

MonitorSettings StartRecord(int i)
{
    return Record(100 + i);
}

struct MatchRow {
    const char *name;
    QList<int> before; // screens, by their identity's index in Ids below
    QList<int> now;
    QList<int32_t> expected; // VBars of the records for `now`
    qsizetype goneAfter;
};

TEST(Monitors, RecordsFollowTheMonitors)
{
    // Screen objects 0 to 2 are the monitors at start; 3 is monitor 0 plugged in again (a new
    // object, the same words), 4 a monitor never seen, 5 the same connector as 1 with another
    // model, 6 screen object 2 reused for another connector.
    static int objects[5];
    const MonitorIdentity Ids[] = {
        {&objects[0], "DP-1", "Maker", "A", "1"},  {&objects[1], "DP-2", "Maker", "B", "2"},
        {&objects[2], "HDMI-1", "Maker", "C", ""}, {&objects[3], "DP-1", "Maker", "A", "1"},
        {&objects[4], "DP-3", "Other", "D", "9"},  {&objects[4], "DP-2", "Maker", "E", "2"},
        {&objects[2], "HDMI-2", "Maker", "C", ""},
    };
    const MatchRow rows[] = {
        {"nothing changed", {0, 1, 2}, {0, 1, 2}, {10, 11, 12}, 0},
        {"the first unplugged: the others keep theirs", {0, 1, 2}, {1, 2}, {11, 12}, 1},
        {"the order changed", {0, 1, 2}, {2, 0, 1}, {12, 10, 11}, 0},
        {"a new monitor gets its position's start record",
         {0, 1, 2},
         {0, 1, 2, 4},
         {10, 11, 12, 103},
         0},
        {"a new monitor in the middle", {0, 1, 2}, {0, 4, 1, 2}, {10, 101, 11, 12}, 0},
        {"another model on a known connector is new", {0, 1, 2}, {0, 5, 2}, {10, 101, 12}, 1},
        {"a reused screen object with another name is new", {0, 1, 2}, {0, 1, 6}, {10, 11, 102}, 1},
        {"every monitor gone", {0, 1, 2}, {}, {}, 3},
    };
    for (const MatchRow &row : rows) {
        QList<MonitorIdentity> before, now;
        QList<MonitorSettings> records;
        for (int i : row.before) {
            before.append(Ids[i]);
            records.append(Record(10 + i));
        }
        for (int i : row.now)
            now.append(Ids[i]);
        GoneMonitors gone;
        const QList<MonitorSettings> result =
            MatchMonitorRecords(before, records, now, gone, StartRecord);
        QList<int32_t> vbars;
        for (qsizetype i = 0; i < result.size(); ++i) {
            vbars.append(result[i].VBars);
            EXPECT_EQ(result[i].Number, i + 1) << row.name;
        }
        EXPECT_EQ(vbars, row.expected) << row.name;
        EXPECT_EQ(gone.size(), row.goneAfter) << row.name;
    }
}

TEST(Monitors, AMonitorThatComesBackGetsItsRecordBack)
{
    static int a, b, aAgain;
    const MonitorIdentity first{&a, "DP-1", "Maker", "A", "1"};
    const MonitorIdentity second{&b, "DP-2", "Maker", "B", "2"};
    const MonitorIdentity firstAgain{&aAgain, "DP-1", "Maker", "A", "1"};
    GoneMonitors gone;
    QList<MonitorSettings> records = {Record(7), Record(8)};
    records = MatchMonitorRecords({first, second}, records, {second}, gone, StartRecord);
    ASSERT_EQ(gone.size(), 1);
    records = MatchMonitorRecords({second}, records, {second, firstAgain}, gone, StartRecord);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].VBars, 8);
    EXPECT_EQ(records[1].VBars, 7); // its own record, not position 1's start record
    EXPECT_EQ(records[1].Number, 2);
    EXPECT_TRUE(gone.isEmpty());
}

struct SnapRow {
    const char *name;
    QRect frame;
    QPoint snapped;
};

TEST(Monitors, SnapToWorkArea)
{
    const QRect work(0, 0, 1920, 1040);
    const SnapRow rows[] = {
        {"far from every edge", {300, 200, 463, 437}, {300, 200}},
        {"10 from the left snaps", {10, 200, 463, 437}, {0, 200}},
        {"11 from the left stays", {11, 200, 463, 437}, {11, 200}},
        {"past the left edge snaps back", {-7, 200, 463, 437}, {0, 200}},
        {"near the right edge", {1450, 200, 463, 437}, {1457, 200}},
        {"near the top", {300, 4, 463, 437}, {300, 0}},
        {"near the bottom of the work area", {300, 600, 463, 437}, {300, 603}},
        {"a corner", {1461, 8, 463, 437}, {1457, 0}},
    };
    for (const SnapRow &row : rows)
        EXPECT_EQ(SnapToWorkArea(row.frame, work), row.snapped) << row.name;
}

struct PlaceRow {
    const char *name;
    QRect workArea;
    QPoint placed;
};

TEST(Monitors, PlaceInWorkArea)
{
    const QRect opening(253, 161, 463, 410); // the main window as it opens
    const PlaceRow rows[] = {
        {"fits: stays", {0, 0, 1280, 720}, {253, 161}},
        {"1280x720 at 150 %: pulled up", {0, 0, 853, 480}, {253, 70}},
        {"panel on top: below it", {0, 200, 1280, 520}, {253, 200}},
        {"larger than the area: top-left on it", {20, 10, 400, 300}, {20, 10}},
    };
    for (const PlaceRow &row : rows)
        EXPECT_EQ(PlaceInWorkArea(opening, row.workArea), row.placed) << row.name;
}

struct DifferenceRow {
    const char *name;
    Spans a, b, expected;
};

TEST(Monitors, SymmetricDifference)
{
    const DifferenceRow rows[] = {
        {"the same spans", {{2, 5}, {8, 9}}, {{2, 5}, {8, 9}}, {}},
        {"one list empty", {{2, 5}}, {}, {{2, 5}}},
        {"moved by one", {{10, 20}}, {{11, 21}}, {{10, 11}, {20, 21}}},
        {"touching spans stay apart", {{0, 5}}, {{5, 10}}, {{0, 5}, {5, 10}}},
        {"nested", {{0, 10}}, {{3, 5}}, {{0, 3}, {5, 10}}},
        {"shared edge at the start", {{0, 10}}, {{0, 4}}, {{4, 10}}},
    };
    for (const DifferenceRow &row : rows)
        EXPECT_EQ(SymmetricDifference(row.a, row.b), row.expected) << row.name;
}

struct RegionRow {
    const char *name;
    BarSpans shown, next;
    qreal dpr;
    QRegion expected;
};

TEST(Monitors, ChangedRegion)
{
    const QSize size(100, 50);
    const RegionRow rows[] = {
        {"unchanged frame", {{{10, 20}}, {{5, 6}}}, {{{10, 20}}, {{5, 6}}}, 1, QRegion()},
        {"a column moved right",
         {{{10, 20}}, {}},
         {{{11, 21}}, {}},
         1,
         QRegion(10, 0, 1, 50) + QRegion(20, 0, 1, 50)},
        {"a row appeared", {}, {{}, {{5, 7}}}, 1, QRegion(0, 5, 100, 2)},
        {"a span past the right edge is clipped", {}, {{{95, 130}}, {}}, 1, QRegion(95, 0, 5, 50)},
        {"scale 1.5 widens to whole logical pixels", {}, {{{3, 4}}, {}}, 1.5, QRegion(2, 0, 1, 50)},
        {"scale 2 halves", {}, {{}, {{4, 9}}}, 2, QRegion(0, 2, 100, 3)},
    };
    for (const RegionRow &row : rows)
        EXPECT_EQ(ChangedRegion(row.shown, row.next, row.dpr, size), row.expected) << row.name;
}

TEST(Monitors, PiecesCoverTheRegionWithFewRectangles)
{
    // Two rectangles of one column become one piece spanning both; a full-width row stays.
    const QRegion region = QRegion(10, 0, 3, 5) + QRegion(10, 20, 3, 5) + QRegion(0, 40, 100, 2);
    const QList<QRect> pieces = Pieces(region, 100);
    QRegion covered;
    for (const QRect &r : pieces)
        covered += r;
    EXPECT_TRUE((region - covered).isEmpty());
    EXPECT_EQ(pieces.size(), 2);
    EXPECT_TRUE(pieces.contains(QRect(0, 40, 100, 2)));
    EXPECT_TRUE(pieces.contains(QRect(10, 0, 3, 25)));
}

} // namespace
