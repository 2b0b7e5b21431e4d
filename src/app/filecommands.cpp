#include "app/filecommands.h"

#include "codec/numbers.h"
#include "table/messagefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace telvaro {

namespace {

// A file's bytes, or why they could not be had.
struct FileBytes {
    std::optional<QByteArray> bytes;
    QString error;
};

FileBytes ReadWholeFile(const QString &name)
{
    QFile file(name);
    if (!file.exists())
        return {std::nullopt, QStringLiteral("the file does not exist")};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("the file cannot be read: ") + file.errorString()};
    const QString tooLarge = QStringLiteral("the file is larger than %1 bytes").arg(FileCommands::MaxFileBytes);
    if (file.size() > FileCommands::MaxFileBytes)
        return {std::nullopt, tooLarge};
    // A buffer of the size seen, and one byte more to notice a file that grew
    // meanwhile; only then is the rest up to the limit read.
    const qint64 seen = file.size();
    QByteArray bytes = file.read(seen + 1);
    if (bytes.size() > seen)
        bytes += file.read(FileCommands::MaxFileBytes + 1 - bytes.size());
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("the file cannot be read: ") + file.errorString()};
    if (bytes.size() > FileCommands::MaxFileBytes)
        return {std::nullopt, tooLarge};
    return {std::move(bytes), {}};
}

// The system names no cause for a write cut short; a full disk is the usual one.
QString CutShortText()
{
    return QStringLiteral("the file could not be written in full: the disk may be full");
}

// Written over in place, for a folder where no new file can be made. The
// whole new size is reserved before a byte of the old file is overwritten,
// and the old bytes go back if a write still fails, so that a full disk
// leaves the file as it was.
std::optional<QString> WriteInPlace(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadWrite))
        return QStringLiteral("the file cannot be written: ") + file.errorString();
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("the file cannot be read: ") + file.errorString();
    if (bytes.size() > old.size() && posix_fallocate(file.handle(), 0, bytes.size()) != 0) {
        file.resize(old.size()); // a reservation cut short may have grown the file
        return CutShortText();
    }
    const auto writeAll = [&file](const QByteArray &contents) {
        return file.seek(0) && file.write(contents) == contents.size() && file.flush() &&
               file.resize(contents.size()) && fsync(file.handle()) == 0;
    };
    if (writeAll(bytes))
        return std::nullopt;
    writeAll(old);
    return CutShortText();
}

// The new contents go to a temporary file beside the old one, which is
// replaced only when everything was written: a failed save keeps the file
// that was there. In a folder where no new file can be made, an existing
// file the operator may write is written over in place instead. Returns why
// the save failed, or nothing.
std::optional<QString> WriteWholeFile(const QString &name, const QByteArray &bytes)
{
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        if (QFileInfo(name).isFile())
            return WriteInPlace(name, bytes);
        return QStringLiteral("the file cannot be written: ") + file.errorString();
    }
    // A short write of a small file shows only when the buffer is flushed,
    // and commit() would still replace the old file with the cut one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return CutShortText();
    }
    if (!file.commit())
        return QStringLiteral("the file cannot be replaced: ") + file.errorString();
    return std::nullopt;
}

// What follows "Error Opening file": which file, and why.
QString OpenErrorDetail(const QString &name, const QString &why)
{
    return QDir::toNativeSeparators(name) + QStringLiteral(": ") + why;
}

// The first of the entries a QND file holds whose interval its reader
// cannot take, or -1.
int FirstIntervalBeyondQnd(const QList<MessageEntry> &entries)
{
    const qsizetype written = qMin<qsizetype>(entries.size(), QndEntries);
    for (qsizetype i = 0; i < written; ++i) {
        const qint32 interval = entries[i].Interval;
        if (interval < QndIntervalMin || interval > QndIntervalMax)
            return int(i);
    }
    return -1;
}

} // namespace

FileCommands::FileCommands(Workspace &workspace, QObject *parent) : QObject(parent), m_ws(workspace) {}

QString FileCommands::DialogFilter()
{
    return QStringLiteral("Telvaro Files (*.TVD)|*.TVD|Quendra Files (*.QND)|*.QND");
}

QString FileCommands::QndLimitText()
{
    return QStringLiteral("QND file format only supports 200 messages\r\n\r\n"
                          "Only the first 200 messages will be saved");
}

QString FileCommands::QndIntervalText(int position, qint32 interval)
{
    return QStringLiteral("QND file format only supports intervals up to 32767 ms\r\n\r\n"
                          "Message %1 has an interval of %2 ms: the saved file will not open again")
        .arg(MessageNumberText(position))
        .arg(interval);
}

QString FileCommands::SaveErrorText(const QString &name)
{
    return QStringLiteral("Error Saving ") + name;
}

QString FileCommands::UnknownFormatText(const QString &name)
{
    return SaveErrorText(name) + QStringLiteral("\r\n\r\nThe name must end in TVD or QND");
}

QString FileCommands::RegisterSaveErrorText(const QString &name, qint16 format)
{
    return QStringLiteral("Error Saving ") + name + QStringLiteral(" As ") + QString::number(format);
}

QString FileCommands::RegisterOpenErrorText(const QString &name)
{
    return QStringLiteral("Error Opening ") + name;
}

void FileCommands::mnuFileNew_Click()
{
    m_ws.NewTable();
}

void FileCommands::mnuFileOpen_Click()
{
    const auto name = m_ws.prompter().openFileName(QStringLiteral("Open"), DialogFilter());
    if (!name || name->isEmpty())
        return;
    OpenWithCompanion(*name);
}

void FileCommands::mnuFileSave_Click()
{
    const auto name = m_ws.prompter().saveFileName(QStringLiteral("Save"), DialogFilter());
    if (!name || name->isEmpty())
        return;
    SaveFile(*name);
}

void FileCommands::mnuFileExit_Click()
{
    Q_EMIT exitRequested();
}

bool FileCommands::OpenWithCompanion(const QString &name)
{
    const bool opened = OpenFile(name);
    LoadRegisterFile(CompanionName(name));
    return opened;
}

bool FileCommands::OpenFile(const QString &name)
{
    MessageTable &table = m_ws.table();
    const FileBytes file = ReadWholeFile(name);
    if (!file.bytes) {
        // Nothing was read: the table keeps what it held.
        m_ws.prompter().inform(OpenErrorText(), OpenErrorDetail(name, file.error));
        table.RefreshGrid();
        return false;
    }
    MessageFileRead read;
    switch (FormatOfName(name)) {
    case MessageFormat::Tvd: read = ReadTvd(*file.bytes); break;
    case MessageFormat::Qnd: read = ReadQnd(*file.bytes); break;
    case MessageFormat::Other: break;
    }
    table.ReplaceAll(std::move(read.entries));
    if (read.error)
        m_ws.prompter().inform(OpenErrorText(), OpenErrorDetail(name, *read.error));
    table.RefreshGrid();
    return !read.error;
}

FileCommands::SaveResult FileCommands::SaveFile(const QString &name)
{
    Prompter &prompter = m_ws.prompter();
    const MessageFormat format = FormatOfName(name);
    if (format == MessageFormat::Other) {
        // Saving would write nothing; say so rather than seem to have saved.
        prompter.inform(UnknownFormatText(name));
        return SaveResult::Failed;
    }
    const QList<MessageEntry> &entries = m_ws.table().entries();
    // Every question comes before anything is written, so that Cancel
    // leaves the message file and its companion as they were.
    auto confirmed = [&prompter](const QString &text) {
        return prompter.message(text, WarningTitle(), Prompter::Buttons::OkCancel, Prompter::Icon::Warning) ==
               Prompter::Answer::Ok;
    };
    if (format == MessageFormat::Qnd) {
        if (entries.size() > QndEntries && !confirmed(QndLimitText()))
            return SaveResult::Cancelled;
        const int beyond = FirstIntervalBeyondQnd(entries);
        if (beyond >= 0 && !confirmed(QndIntervalText(beyond, entries[beyond].Interval)))
            return SaveResult::Cancelled;
    }
    const QByteArray bytes = format == MessageFormat::Qnd ? WriteQnd(entries) : WriteTvd(entries);

    bool companionSaved = true;
    if (m_ws.mode().mode() == OperatingMode::ControllerLoad) {
        if (const QString companion = CompanionName(name); !companion.isEmpty())
            companionSaved = SaveRegisterFile(companion, RegisterFileFormat);
    }
    if (const auto why = WriteWholeFile(name, bytes)) {
        prompter.inform(SaveErrorText(name), *why);
        return SaveResult::Failed;
    }
    // The messages without their registers are not the table that was saved.
    return companionSaved ? SaveResult::Saved : SaveResult::Failed;
}

bool FileCommands::SaveRegisterFile(const QString &name, qint16 format)
{
    const auto why = WriteWholeFile(name, WriteTv1(m_ws.registers().table(), format));
    if (!why)
        return true;
    m_ws.prompter().inform(RegisterSaveErrorText(name, format), *why);
    return false;
}

void FileCommands::LoadRegisterFile(const QString &name)
{
    // Only a companion that is not there leaves the registers as they were.
    if (name.isEmpty() || !QFileInfo::exists(name))
        return;
    const FileBytes file =
        QFileInfo(name).isFile() ? ReadWholeFile(name) : FileBytes{std::nullopt, QStringLiteral("it is not a file")};
    const RegisterFileRead read =
        file.bytes ? ReadTv1(*file.bytes) : RegisterFileRead{RegisterFileRead::Result::Malformed, {}, file.error};
    switch (read.result) {
    case RegisterFileRead::Result::Loaded: {
        // Entry 0 is not a register and stays as it is.
        RegisterTable registers = read.registers;
        registers[0] = m_ws.registers().entry(0);
        m_ws.registers().setTable(registers);
        break;
    }
    case RegisterFileRead::Result::OtherFormat:
        // A format this program does not know leaves the registers alone,
        // without a word at Open; but they are not the file's, and no load
        // sends them as if they were.
        m_ws.registers().markNotLoaded(OpenErrorDetail(name, read.error), false);
        break;
    case RegisterFileRead::Result::Malformed:
        // Nothing is taken from a damaged file; the operator learns that
        // the registers are not the file's, and no load sends them as if.
        m_ws.prompter().inform(RegisterOpenErrorText(name), read.error);
        m_ws.registers().markNotLoaded(OpenErrorDetail(name, read.error), true);
        break;
    }
}

} // namespace telvaro
