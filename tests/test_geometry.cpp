// The geometry the windows work out without a window: snapping the main window to the work
// area, and the parts of a wash window that a new frame changes.

#include "app/windowplacement.h"
#include "wash/washregions.h"

#include <gtest/gtest.h>

namespace {

struct SnapRow {
    const char *name;
    QRect frame;
    QPoint snapped;
};

TEST(Geometry, SnapToWorkArea)
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

TEST(Geometry, PlaceInWorkArea)
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

TEST(Geometry, SymmetricDifference)
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

TEST(Geometry, ChangedRegion)
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

TEST(Geometry, PiecesCoverTheRegionWithFewRectangles)
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
