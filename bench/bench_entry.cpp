// Entry and edit commands on a full table (32,765 entries before the Add),
// each including the grid refresh.
#include "app/workspace.h"
#include "base/prompter.h"
#include "benchutil.h"
#include "silentprompter.h"

#include <QCoreApplication>

using namespace telvaro;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bench::SilentPrompter prompter(QStringLiteral("0"));
    Workspace ws(prompter);
    QList<MessageEntry> entries(MessageTable::MaxEntries - 1);
    for (int i = 0; i < entries.size(); ++i) {
        entries[i].Number = qint16(i);
        entries[i].Text = "<0x02>Message " + QByteArray::number(i) + "<0x03>";
        entries[i].SendData = "\x02Message " + QByteArray::number(i) + "\x03";
    }
    ws.table().ReplaceAll(entries);
    ws.setBox(Workspace::Box::Entry, QStringLiteral("<0x02>Inserted<0x03>"));
    const int runs = 100;
    std::printf("Add at 0 and Clear Message 0 on a table of %d entries, %d runs each\n", MessageTable::MaxEntries,
                runs);
    std::vector<double> add, clear;
    for (int r = 0; r < runs; ++r) {
        ws.setBox(Workspace::Box::MessageNumber, QStringLiteral("000"));
        add.push_back(bench::Measure(1, [&] { ws.CmdAddMessage_Click(); }).medianMs);
        clear.push_back(bench::Measure(1, [&] { ws.MnuEditClearMessage_Click(); }).medianMs);
    }
    bench::Report("CmdAddMessage_Click at 0", bench::Summarise(add), 0);
    bench::Report("MnuEditClearMessage_Click 0", bench::Summarise(clear), 0);
    return ws.table().count() == MessageTable::MaxEntries - 1 ? 0 : 1;
}
