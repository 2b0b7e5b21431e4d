#pragma once
// The sign controller's register table: entries 1 to 31 are its registers
// (entry 0 exists, unused), each a width of 0 to 5 character positions (0:
// not in use) and a one-character fill.

#include <QByteArray>
#include <QObject>
#include <array>

namespace telvaro {

struct RegisterEntry {
    qint16 Width = 0;
    QByteArray Fill = QByteArrayLiteral(" ");
    bool operator==(const RegisterEntry &) const = default;
};
using RegisterTable = std::array<RegisterEntry, 32>;

// The one register table of the program, with a signal for whoever shows it.
class Registers : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const RegisterTable &table() const { return m_table; }
    const RegisterEntry &entry(size_t index) const { return m_table.at(index); }
    void setTable(const RegisterTable &table)
    {
        if (table == m_table)
            return;
        m_table = table;
        Q_EMIT changed();
    }
    void setEntry(size_t index, const RegisterEntry &entry)
    {
        if (m_table.at(index) == entry)
            return;
        m_table.at(index) = entry;
        Q_EMIT changed();
    }
    // Every entry width 0, fill " ".
    void reset() { setTable(RegisterTable{}); }

Q_SIGNALS:
    void changed();

private:
    RegisterTable m_table{};
};

} // namespace telvaro
