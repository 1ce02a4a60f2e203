#pragma once

// Rows shared by the table-driven tests.
//
//   void importSaysWhy_data() { test::addFlagRows("inWindow", "window", "wab import"); }

#include <QTest>

#include <initializer_list>

namespace quennet::test {

// One bool column: a row named whenTrue, then one named whenFalse.
inline void addFlagRows(const char *column, const char *whenTrue, const char *whenFalse)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(whenTrue) << true;
    QTest::newRow(whenFalse) << false;
}

// A row of text columns only.
inline void addTextRow(const char *name, std::initializer_list<const char *> texts)
{
    QTestData &row = QTest::newRow(name);
    for (const char *text : texts)
        row << QString::fromUtf8(text);
}

} // namespace quennet::test
