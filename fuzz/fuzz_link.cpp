// Bytes from a device through the received-data display, and the operator's
// answers through the Communication prompt readers.

#include "fuzzcheck.h"
#include "link/linkrules.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace telvaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QTime time = QTime::fromMSecsSinceStartOfDay(size > 0 ? int(data[0]) * 337000 % 86400000 : 0);

    const ReceivedDisplay shown = ReceivedText(bytes, bytes.size(), time);
    Require(shown.complete, "all announced bytes were there");
    for (const QChar c : shown.text)
        Require((c.unicode() >= 32 && c.unicode() <= 125) || c == u'\r' || c == u'\n', "only printable text shown");
    Require(bytes.isEmpty() || shown.text.endsWith(SecondsSinceMidnightText(time) + QStringLiteral("\r\n")),
            "every arrival ends with its time line");
    const ReceivedDisplay shortData = ReceivedText(bytes, bytes.size() + 1, time);
    Require(!shortData.complete, "a short arrival is reported");

    // A small bound keeps each run cheap; the rule is the same at any size.
    constexpr qsizetype limit = 256;
    const QString box = AppendBounded(QString(limit - 10, u'o'), shown.text, limit);
    Require(box.size() <= limit, "the received-data box stays bounded");
    Require(box.endsWith(shown.text.right(limit)), "the newest text is kept");

    const QString answer = QString::fromLatin1(bytes);
    const PortAnswer port = ReadPortAnswer(answer);
    Require((port.kind == PortAnswer::Unchanged) == answer.isEmpty(), "only an empty answer changes nothing");
    const QString baud = BaudAnswerText(answer);
    if (const auto settings = ParseLineSettings(LineSettingsText(baud)))
        Require(IsSupportedBaudRate(settings->baud), "only supported rates are applied");
    ParseLineSettings(answer);
    if (const auto remote = RemotePortValue(answer))
        Require(*remote >= 1, "port 0 is never used");
    return 0;
}
