#pragma once
// One message of the table made ready to send, as every operation that
// sends the table does it: the row highlighted, SendData renewed from the
// text, time tokens expanded. What the step needs is copied out, since the
// send may wait and the table change meanwhile.

#include <QByteArray>
#include <QString>

namespace telvaro {

class MessageTable;

struct MessageStep {
    QByteArray bytes;
    qint32 interval = 0;
    // Why the message cannot be sent; empty when it can.
    QString failure;
};

MessageStep TakeMessageStep(MessageTable &table, qint64 position);

// Why the message at position could not be sent, as TakeMessageStep says
// it, without making it ready; empty when it can be.
QString MessageFailure(const MessageTable &table, qint64 position);

// Why a transfer of a table without messages ends.
QString EmptyLoadText();

} // namespace telvaro
