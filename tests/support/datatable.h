#pragma once
// Data tables in few lines: the columns named once, a row a line, and the
// current row's cells for a structured binding.

#include <QtTest>

#include <array>
#include <tuple>

namespace telvaro::test {

// A data table's columns in one line: columns<int, QString>({"count", "text"}).
template <typename... T> void columns(const std::array<const char *, sizeof...(T)> &names)
{
    size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}

// A row's values in column order; a C string fills a QString column.
template <typename... V> void row(const char *name, V... values)
{
    (QTest::newRow(name) << ... << values);
}

// A table of one column from named rows: rows<Send>("s", table).
template <typename T, size_t N> void rows(const char *column, const std::pair<const char *, T> (&table)[N])
{
    QTest::addColumn<T>(column);
    for (const auto &[name, value] : table)
        QTest::newRow(name) << value;
}

// The current row's cells for a structured binding:
// const auto [count, text] = fetch<int, QString>({"count", "text"}).
template <typename... T> std::tuple<T...> fetch(const std::array<const char *, sizeof...(T)> &names)
{
    return [&names]<size_t... I>(std::index_sequence<I...>)
    {
        return std::tuple<T...>{*static_cast<const T *>(QTest::qData(names[I], qMetaTypeId<T>()))...};
    }
    (std::index_sequence_for<T...>());
}

} // namespace telvaro::test
