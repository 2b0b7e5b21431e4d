#pragma once
// The sign controller's register table: entries 1 to 31 are its registers
// (entry 0 exists, unused), each a width of 0 to 5 character positions (0:
// not in use) and a one-character fill.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

namespace telvaro {

struct RegisterEntry {
    qint16 Width = 0;
    QByteArray Fill = QByteArrayLiteral(" ");
    bool operator==(const RegisterEntry &) const = default;
};
using RegisterTable = std::array<RegisterEntry, 32>;

// The one rule every register keeps, whether the register dialog set it, a
// file or an upload gave it: a width of 0 to 5 and a fill of one blank or
// one zero, as bytes.
constexpr qint16 MaxRegisterWidth = 5;
inline bool IsRegisterWidth(qint16 width)
{
    return width >= 0 && width <= MaxRegisterWidth;
}
inline bool IsRegisterFill(const QByteArray &fill)
{
    return fill == " " || fill == "0";
}
// How an entry breaks that rule ("the width 7 is out of range (0 to 5)"), or
// nothing when it keeps it.
std::optional<QString> RegisterRuleBroken(const RegisterEntry &entry);

// The one register table of the program, with a signal for whoever shows it.
class Registers : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const RegisterTable &table() const { return m_table; }
    const RegisterEntry &entry(size_t index) const { return m_table.at(index); }
    void setTable(const RegisterTable &table)
    {
        m_notLoaded.clear();
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

    // Why the registers are not the ones of the table beside them (their
    // companion file was refused); empty once a whole table is set.
    QString notLoaded() const { return m_notLoaded; }
    // Whether the operator was shown that reason as the file was opened.
    bool notLoadedShown() const { return m_notLoadedShown; }
    void markNotLoaded(const QString &why, bool shown)
    {
        m_notLoaded = why;
        m_notLoadedShown = shown;
    }

Q_SIGNALS:
    void changed();

private:
    RegisterTable m_table{};
    QString m_notLoaded;
    bool m_notLoadedShown = false;
};

} // namespace telvaro
