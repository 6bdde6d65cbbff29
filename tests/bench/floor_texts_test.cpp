// The benchmark's floor program issues the program's own statement texts: a change to one of
// the access decision's or the range insert's statements must reach the floor too, or the floor
// measures other work.
#include "FloorTexts.h"

#include <gtest/gtest.h>

TEST(BenchFloor, IssuesTheProgramsStatementTexts) {
    EXPECT_EQ(bench::floorTextsDiffer(QStringLiteral(BENCH_FLOOR)).toStdString(), "");
}
