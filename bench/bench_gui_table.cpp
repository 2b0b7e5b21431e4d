// The same table commands with the main window showing the grid (offscreen),
// so the view's share of the work is counted too.
#include "app/filecommands.h"
#include "app/workspace.h"
#include "base/prompter.h"
#include "base/settingsstore.h"
#include "benchutil.h"
#include "gui/frmmain.h"
#include "silentprompter.h"
#include "table/messagefiles.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

using namespace telvaro;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::SilentPrompter prompter(QStringLiteral("0"));
    SettingsStore settings;
    Workspace ws(prompter);
    frmMain window(ws, settings);
    window.resize(900, 700);
    window.show();
    QList<MessageEntry> entries(MessageTable::MaxEntries - 1);
    for (int i = 0; i < entries.size(); ++i) {
        entries[i].Number = qint16(i);
        entries[i].Text = "<0x02>Message " + QByteArray::number(i) + "<0x03>";
        entries[i].SendData = "\x02Message " + QByteArray::number(i) + "\x03";
    }
    ws.table().ReplaceAll(entries);
    ws.table().RefreshGrid();
    QApplication::processEvents();
    ws.setBox(Workspace::Box::Entry, QStringLiteral("<0x02>Inserted<0x03>"));
    const int runs = 50;
    std::vector<double> add, clear, append, refresh;
    // Each command is timed with the repaint it causes.
    auto timed = [](auto &&work) {
        return bench::Measure(1,
                              [&] {
                                  work();
                                  QApplication::processEvents();
                              })
            .medianMs;
    };
    for (int r = 0; r < runs; ++r) {
        ws.setBox(Workspace::Box::MessageNumber, QStringLiteral("000"));
        add.push_back(timed([&] { ws.CmdAddMessage_Click(); }));
        clear.push_back(timed([&] { ws.MnuEditClearMessage_Click(); }));
        ws.setBox(Workspace::Box::MessageNumber, QString::number(ws.table().count()));
        append.push_back(timed([&] { ws.CmdAddMessage_Click(); }));
        ws.table().RemoveLastEntry();
        refresh.push_back(timed([&] { ws.table().RefreshGrid(); }));
    }
    std::printf("window showing a table of %d entries, %d runs each\n", MessageTable::MaxEntries, runs);
    bench::Report("Add at 0 + repaint", bench::Summarise(add), 0);
    bench::Report("Clear Message 0 + repaint", bench::Summarise(clear), 0);
    bench::Report("Add at the end + repaint", bench::Summarise(append), 0);
    bench::Report("RefreshGrid + repaint", bench::Summarise(refresh), 0);

    // A table whose one message text is 10 MB, opened and double-clicked.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.TVD"));
    const QByteArray text(10 * 1000 * 1000, 'A');
    if (QFile f(path); !f.open(QIODevice::WriteOnly) ||
                       !f.write(WriteTvd({{0, 100, "short", "short", {}}, {1, 100, text, text, "long"}})))
        return 1;
    FileCommands files(ws);
    const auto open = bench::Measure(3, [&] {
        files.OpenFile(path);
        QApplication::processEvents();
    });
    // The short message in between, so that each double-click fills the box anew.
    const auto load = bench::Measure(3, [&] {
        ws.MSFGMessages_DblClick(1);
        ws.MSFGMessages_DblClick(2);
        QApplication::processEvents();
    });
    std::printf("a table with a 10 MB message text\n");
    bench::Report("Open + repaint", open, text.size());
    bench::Report("double-click the long message", load, text.size());
    return bench::Target("Open of a 10 MB text, median", open.medianMs, bench::Bound::AtMost, 1000, "ms") ? 0 : 1;
}
