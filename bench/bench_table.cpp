// Table operations at the largest table the grid can show (32,766 entries).
#include "benchutil.h"
#include "table/messagetable.h"

#include <QCoreApplication>

using namespace telvaro;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int full = MessageTable::MaxEntries;
    QList<MessageEntry> entries(full - 1);
    for (int i = 0; i < entries.size(); ++i) {
        entries[i].Number = qint16(i);
        entries[i].Interval = 1000;
        entries[i].Text = "<0x02>Message number " + QByteArray::number(i) + "<0x03>";
        entries[i].SendData = "\x02Message number " + QByteArray::number(i) + "\x03";
        entries[i].Comment = "comment";
    }
    MessageTable table;
    table.ReplaceAll(entries);
    table.RefreshGrid();
    const QByteArray text = "<0x02>New<0x03>";
    const QByteArray data = "\x02New\x03";
    const int runs = 200;

    std::printf("table of %d entries, %d runs each\n", full, runs);
    bench::Report("append at end + refresh",
                  bench::Measure(runs,
                                 [&] {
                                     table.AppendEntry();
                                     table.SetContents(table.UpperIndex(), 200, text, data, {});
                                     table.RefreshGrid();
                                     table.RemoveLastEntry();
                                 }),
                  0);
    bench::Report("insert at 0 + refresh",
                  bench::Measure(runs,
                                 [&] {
                                     table.AppendEntry();
                                     table.MoveContentsDown(0);
                                     table.SetContents(0, 200, text, data, {});
                                     table.RefreshGrid();
                                     table.MoveContentsUp(0);
                                     table.RemoveLastEntry();
                                 }),
                  0);
    table.AppendEntry();
    bench::Report("delete at 0 + refresh",
                  bench::Measure(runs,
                                 [&] {
                                     table.MoveContentsUp(0);
                                     table.RemoveLastEntry();
                                     table.RefreshGrid();
                                     table.AppendEntry();
                                 }),
                  0);
    bench::Report("RefreshGrid", bench::Measure(runs, [&] { table.RefreshGrid(); }), 0);
    bench::Report("text view of the whole table", bench::Measure(50, [&] { bench::Keep(table.TextView()); }), 0);
    return 0;
}
