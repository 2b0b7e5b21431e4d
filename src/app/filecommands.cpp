#include "app/filecommands.h"

#include "codec/numbers.h"
#include "table/messagefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

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

// One file's new contents, made ready in full before any file is replaced:
// written to a temporary file beside it, or, in a folder where no new file
// can be made, the room reserved to write an existing file over in place
// (the operator may write the file but not the folder). Until commit()
// nothing the operator sees changes; after it, restore() puts the old file
// back.
class StagedFile {
public:
    StagedFile(const QString &name, const QByteArray &bytes) : m_name(name), m_bytes(bytes) {}
    ~StagedFile()
    {
        // A reservation made for nothing goes; so does the old file's second
        // name once the new file stays.
        if (m_inPlace && !m_committed)
            m_inPlace->resize(m_old.size());
        if (!m_backup.isEmpty())
            unlink(QFile::encodeName(m_backup).constData());
    }
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    std::optional<QString> stage()
    {
        m_save = std::make_unique<QSaveFile>(m_name);
        if (!m_save->open(QIODevice::WriteOnly)) {
            const QString why = m_save->errorString();
            m_save.reset();
            if (QFileInfo(m_name).isFile())
                return stageInPlace();
            return QStringLiteral("the file cannot be written: ") + why;
        }
        // A short write of a small file shows only when the buffer is
        // flushed, and a file system may refuse the data only when it goes
        // to the disk: both before any file is replaced.
        if (m_save->write(m_bytes) != m_bytes.size() || !m_save->flush() || fsync(m_save->handle()) != 0) {
            m_save->cancelWriting();
            m_save.reset();
            return CutShortText();
        }
        return std::nullopt;
    }

    // keepOld: the old file is kept aside until the save is through, so
    // that restore() can put it back.
    std::optional<QString> commit(bool keepOld)
    {
        if (m_inPlace) {
            if (!writeInPlace(m_bytes)) {
                writeInPlace(m_old);
                return CutShortText();
            }
            m_committed = true;
            return std::nullopt;
        }
        const QFileInfo info(m_name);
        m_existed = info.exists();
        if (keepOld && m_existed && !keepOldFile(info.canonicalFilePath())) {
            m_save->cancelWriting();
            return QStringLiteral("the file there cannot be kept aside to be put back");
        }
        if (!m_save->commit()) {
            const QString why = m_save->errorString();
            if (!m_backup.isEmpty())
                unlink(QFile::encodeName(std::exchange(m_backup, {})).constData());
            return QStringLiteral("the file cannot be replaced: ") + why;
        }
        m_committed = true;
        return std::nullopt;
    }

    // After a commit: the file as it was before. False when it could not
    // be put back.
    bool restore()
    {
        if (m_inPlace)
            return writeInPlace(m_old);
        if (!m_backup.isEmpty()) {
            if (rename(QFile::encodeName(m_backup).constData(), QFile::encodeName(m_replaced).constData()) != 0)
                return false;
            m_backup.clear();
            return true;
        }
        if (m_oldKept)
            return StagedFile(m_replaced, m_old).replaceAlone();
        return m_existed || QFile::remove(m_name);
    }

    // Stages and commits this file alone.
    bool replaceAlone() { return !stage() && !commit(false); }

private:
    std::optional<QString> stageInPlace()
    {
        m_inPlace = std::make_unique<QFile>(m_name);
        if (!m_inPlace->open(QIODevice::ReadWrite)) {
            const QString why = m_inPlace->errorString();
            m_inPlace.reset();
            return QStringLiteral("the file cannot be written: ") + why;
        }
        m_old = m_inPlace->readAll();
        if (m_inPlace->error() != QFileDevice::NoError) {
            const QString why = m_inPlace->errorString();
            m_inPlace.reset();
            return QStringLiteral("the file cannot be read: ") + why;
        }
        // The whole new size is reserved before a byte of the old file is
        // overwritten, so that a full disk leaves the file as it was.
        if (m_bytes.size() > m_old.size() && posix_fallocate(m_inPlace->handle(), 0, m_bytes.size()) != 0) {
            m_inPlace->resize(m_old.size()); // a reservation cut short may have grown the file
            m_inPlace.reset();
            return CutShortText();
        }
        return std::nullopt;
    }

    bool writeInPlace(const QByteArray &contents)
    {
        QFile &file = *m_inPlace;
        return file.seek(0) && file.write(contents) == contents.size() && file.flush() &&
               file.resize(contents.size()) && fsync(file.handle()) == 0;
    }

    // A second name for the file about to be replaced (a hard link costs no
    // room on a full disk); where the file system has none, its bytes.
    bool keepOldFile(const QString &path)
    {
        m_replaced = path;
        const QByteArray from = QFile::encodeName(path);
        for (int attempt = 0; attempt < 16; ++attempt) {
            const QString candidate =
                path + QStringLiteral(".old-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
            if (link(from.constData(), QFile::encodeName(candidate).constData()) == 0) {
                m_backup = candidate;
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        FileBytes old = ReadWholeFile(path);
        if (!old.bytes)
            return false;
        m_old = std::move(*old.bytes);
        m_oldKept = true;
        return true;
    }

    QString m_name;
    QByteArray m_bytes;
    std::unique_ptr<QSaveFile> m_save;
    std::unique_ptr<QFile> m_inPlace;
    QByteArray m_old; // the old contents, written back in place or where no second name could be made
    bool m_oldKept = false;
    bool m_existed = false;
    bool m_committed = false;
    QString m_backup;   // the old file's second name, until the save is through
    QString m_replaced; // the file replaced (where a link named it, its target)
};

// Why files written together failed: which one, and whether every file is
// as it was.
struct WriteFailure {
    qsizetype file;
    QString why;
    bool allKept = true;
};

// The files change together or not at all. Each is written in full before
// any is replaced; then they are put in place one after another, and if one
// cannot be, those before it are put back. Two replacements are not one
// step: a program killed between them leaves the first new and the second
// old, a moment as short as a rename.
std::optional<WriteFailure> WriteTogether(const QList<std::pair<QString, QByteArray>> &contents)
{
    std::vector<std::unique_ptr<StagedFile>> files;
    for (qsizetype i = 0; i < contents.size(); ++i) {
        files.push_back(std::make_unique<StagedFile>(contents[i].first, contents[i].second));
        if (auto why = files.back()->stage())
            return WriteFailure{i, *why};
    }
    for (qsizetype i = 0; i < contents.size(); ++i) {
        auto why = files[size_t(i)]->commit(i + 1 < contents.size());
        if (!why)
            continue;
        WriteFailure failure{i, *why};
        for (qsizetype j = 0; j < i; ++j) {
            if (files[size_t(j)]->restore())
                continue;
            failure.allKept = false;
            failure.why += QStringLiteral("\r\n%1 could not be put back: it holds the new contents")
                               .arg(QDir::toNativeSeparators(contents[j].first));
        }
        return failure;
    }
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
    // The table and its registers are one piece of work: in Controller
    // Load mode the companion and the message file change together or not
    // at all.
    QList<std::pair<QString, QByteArray>> contents;
    const QString companion = CompanionName(name);
    if (m_ws.mode().mode() == OperatingMode::ControllerLoad && !companion.isEmpty())
        contents.append({companion, WriteTv1(m_ws.registers().table(), RegisterFileFormat)});
    contents.append({name, format == MessageFormat::Qnd ? WriteQnd(entries) : WriteTvd(entries)});
    const auto failure = WriteTogether(contents);
    if (!failure)
        return SaveResult::Saved;
    const bool companionFailed = contents.size() > 1 && failure->file == 0;
    QString detail = failure->why;
    if (contents.size() > 1 && failure->allKept)
        detail += QStringLiteral("\r\nNeither file was changed.");
    prompter.inform(companionFailed ? RegisterSaveErrorText(companion, RegisterFileFormat) : SaveErrorText(name),
                    detail);
    return SaveResult::Failed;
}

bool FileCommands::SaveRegisterFile(const QString &name, qint16 format)
{
    const auto failure = WriteTogether({{name, WriteTv1(m_ws.registers().table(), format)}});
    if (!failure)
        return true;
    m_ws.prompter().inform(RegisterSaveErrorText(name, format), failure->why);
    return false;
}

void FileCommands::LoadRegisterFile(const QString &name)
{
    // Only a companion that is not there leaves the registers as they were;
    // an earlier table's refused companion is no reason to refuse this one.
    if (name.isEmpty() || !QFileInfo::exists(name)) {
        m_ws.registers().markNotLoaded(QString(), false);
        return;
    }
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
