#include "panels/ez95.h"

namespace telvaro::ez95 {

namespace {

struct Coded {
    const char *item;
    const char *code;
};

constexpr Coded positions[] = {{"Fill", "0"}, {"Top", "\""}, {"Bottom", "&"}, {"Middle", " "}};
constexpr Coded modes[] = {{"Hold", "b"},       {"Rotate(S)", "a"}, {"Rotate(C)", "t"},  {"Flash", "c"},
                           {"Sparkle", "n1"},   {"Roll Up", "e"},   {"Roll Down", "f"},  {"Roll Left", "g"},
                           {"Roll Right", "h"}, {"Wipe Up", "i"},   {"Wipe Down", "j"},  {"Wipe Left", "k"},
                           {"Wipe Right", "l"}, {"Scroll", "m"},    {"AutoMode", "o"},   {"Roll In", "p"},
                           {"Roll Out", "q"},   {"Wipe In", "r"},   {"Wipe Out", "s"},   {"Twinkle", "t"},
                           {"Sparkle", "n0"},   {"Snow", "n2"},     {"Interlock", "n3"}, {"Switch", "n4"},
                           {"Slide", "n5"},     {"Spray", "n6"},    {"Starburst", "n7"}};
constexpr const char *colors[] = {"Blank",  "Red",    "Green",   "Amber",   "Red(D)",   "Green(D)", "Brown",
                                  "Orange", "Yellow", "RainBw1", "RainBw2", "Color Mx", "AutoColor"};
constexpr Coded specials[] = {{"Flash On", "<&H07>1"},  {"Flash Off", "<&H07>0"}, {"DbWd On", "<&H1D>11"},
                              {"DbWd Off", "<&H1D>10"}, {"Fixed Wd", "<&H1E>1"},  {"Prop Wd", "<&H1E>0"},
                              {"Wide On", "<&H1D>01"},  {"Wide Off", "<&H1D>00"}, {"Time (S)", "<&H13>"},
                              {"Nw Line", "<&H0D>"},    {"Nw Page", "<&H0C>"},    {"Time (C)", "<T>"}};

template <size_t N> QStringList itemsOf(const Coded (&list)[N])
{
    QStringList items;
    for (const Coded &c : list)
        items << QString::fromLatin1(c.item);
    return items;
}

template <size_t N> QString codeOf(const Coded (&list)[N], int index)
{
    return index >= 0 && size_t(index) < N ? QString::fromLatin1(list[index].code) : QString();
}

} // namespace

const QStringList &PositionItems()
{
    static const QStringList items = itemsOf(positions);
    return items;
}

const QStringList &ModeItems()
{
    static const QStringList items = itemsOf(modes);
    return items;
}

const QStringList &ColorItems()
{
    static const QStringList items = [] {
        QStringList all;
        for (const char *c : colors)
            all << QString::fromLatin1(c);
        return all;
    }();
    return items;
}

const QStringList &SpecialItems()
{
    static const QStringList items = itemsOf(specials);
    return items;
}

QString StartOfMessage(const QString &signAddress)
{
    return QStringLiteral("<&H01>Z") + signAddress;
}

QString StartOfText()
{
    return QStringLiteral("<&H02>AA");
}

QString InsertMode(int position, int mode)
{
    return QStringLiteral("<&H1B>") + codeOf(positions, position) + codeOf(modes, mode);
}

QString Color(int color)
{
    return QStringLiteral("<&H1C>") + QString::number(quint16(qint16(color)), 16).toUpper();
}

QString Special(int special)
{
    return codeOf(specials, special);
}

QString EndOfMessage()
{
    return QStringLiteral("<&H04>");
}

} // namespace telvaro::ez95
