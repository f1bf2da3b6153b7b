#pragma once
// A data table whose columns all hold text: the columns' names, then one
// row a line, its tag first and then a text for each column.
#include <QString>
#include <QtTest>

#include <initializer_list>

inline void textRows(std::initializer_list<const char *> columns,
                     std::initializer_list<std::initializer_list<const char *>> rows)
{
    for (const char *column : columns)
        QTest::addColumn<QString>(column);
    for (const auto &row : rows) {
        if (row.size() != columns.size() + 1)
            QFAIL("a row of a table needs its tag and a text for each column");
        auto value = row.begin();
        QTestData &data = QTest::newRow(*value);
        for (++value; value != row.end(); ++value)
            data << QString::fromUtf8(*value);
    }
}

// The columns of a data table, their types in order:
// columns<QString, QByteArray>("line", "wire").
template <typename... Types, typename... Names> void columns(Names... names)
{
    static_assert(sizeof...(Types) == sizeof...(Names), "a name for each column's type");
    (QTest::addColumn<Types>(names), ...);
}
