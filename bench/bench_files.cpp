// Open and save of a 32,766-entry TVD file through the File commands (real
// files in a temporary folder), and the format code alone. Target: open and
// save each at most 12 ms.
#include "app/filecommands.h"
#include "benchutil.h"
#include "table/messagefiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace telvaro;

namespace {

// Answers every question with OK and never shows anything.
class QuietPrompter : public Prompter {
public:
    Answer message(const QString &, const QString &, Buttons, Icon) override { return Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &d) override { return d; }
    std::optional<QString> openFileName(const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &) override { return std::nullopt; }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int full = MessageTable::MaxEntries;
    QList<MessageEntry> entries(full);
    for (int i = 0; i < full; ++i) {
        entries[i].Number = qint16(i);
        entries[i].Interval = 1000 + i;
        entries[i].Text = "<0x02>Message number " + QByteArray::number(i) + " \"quoted\"<0x03>";
        entries[i].Comment = "comment " + QByteArray::number(i);
    }
    QTemporaryDir dir;
    const QString name = dir.filePath("bench.TVD");
    QuietPrompter prompter;
    Workspace ws(prompter);
    FileCommands files(ws);
    ws.table().ReplaceAll(entries);
    ws.table().RefreshGrid();
    const int runs = 30;

    bool ok = true;
    const bench::Figures save =
        bench::Measure(runs, [&] { ok = files.SaveFile(name) == FileCommands::SaveResult::Saved && ok; });
    const double bytes = double(QFileInfo(name).size());
    const bench::Figures open = bench::Measure(runs, [&] { ok = files.OpenFile(name) && ok; });
    if (!ok || ws.table().count() != full) {
        std::fprintf(stderr, "open or save failed\n");
        return 1;
    }
    const QByteArray contents = WriteTvd(entries);
    std::printf("TVD file of %d entries, %.0f bytes, %d runs each\n", full, bytes, runs);
    bench::Report("Save (QSaveFile, replace)", save, bytes);
    bench::Report("Open (read, table, refresh)", open, bytes);
    bench::Report("WriteTvd only", bench::Measure(runs, [&] { bench::Keep(WriteTvd(entries)); }), bytes);
    bench::Report("ReadTvd only", bench::Measure(runs, [&] { bench::Keep(ReadTvd(contents)); }), bytes);
    const bool saveMet = bench::Target("save, median", save.medianMs, bench::Bound::AtMost, 12, "ms");
    const bool openMet = bench::Target("open, median", open.medianMs, bench::Bound::AtMost, 12, "ms");
    return saveMet && openMet ? 0 : 1;
}
