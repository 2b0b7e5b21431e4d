#pragma once
// The "&File" menu: New, Open, Save and Exit over the workspace's table and
// register table, with the dialogs and messages the operator sees.

#include "app/workspace.h"

#include <QObject>
#include <QString>

namespace telvaro {

class FileCommands : public QObject {
    Q_OBJECT
public:
    explicit FileCommands(Workspace &workspace, QObject *parent = nullptr);

    void mnuFileNew_Click();
    void mnuFileOpen_Click();
    void mnuFileSave_Click();
    // Asks the window to close; the close goes through its confirmation.
    void mnuFileExit_Click();

    // Reads a TVD or QND file into the table. False when "Error Opening file"
    // was shown; the entries read before the error stay.
    bool OpenFile(const QString &name);
    // Writes the register table beside a message file. False when the
    // failure was shown; the file there before is kept.
    bool SaveRegisterFile(const QString &name, qint16 format);
    // Reads a companion file when there is one.
    void LoadRegisterFile(const QString &name);

    // The work of Open and Save after their dialogs, for callers that know
    // the name already.
    bool OpenWithCompanion(const QString &name);
    enum class SaveResult { Saved, Cancelled, Failed };
    SaveResult SaveFile(const QString &name);

    static QString DialogFilter();
    static QString OpenErrorText() { return QStringLiteral("Error Opening file"); }
    static QString QndLimitText();
    static QString QndIntervalText(int position, qint32 interval);
    static QString WarningTitle() { return QStringLiteral("WARNING"); }
    static QString SaveErrorText(const QString &name);
    static QString UnknownFormatText(const QString &name);
    static QString RegisterSaveErrorText(const QString &name, qint16 format);
    static QString RegisterOpenErrorText(const QString &name);

    // Files larger than this are not read: no table of 32,766 sign messages
    // comes near it, and reading stays bounded.
    static constexpr qint64 MaxFileBytes = 128 * 1024 * 1024;

Q_SIGNALS:
    void exitRequested();

private:
    Workspace &m_ws;
};

} // namespace telvaro
