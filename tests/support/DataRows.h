#pragma once

// Rows shared by the table-driven tests.
//
//   void importSaysWhy_data() { test::addFlagRows("inWindow", "window", "wab import"); }

#include <QTest>

namespace quennet::test {

// One bool column: a row named whenTrue, then one named whenFalse.
inline void addFlagRows(const char *column, const char *whenTrue, const char *whenFalse)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(whenTrue) << true;
    QTest::newRow(whenFalse) << false;
}

} // namespace quennet::test
