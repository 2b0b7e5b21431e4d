// Outside text through the notation, the number readers and the code page.

#include "codec/codepage.h"
#include "codec/escapes.h"
#include "codec/numbers.h"
#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace telvaro;

namespace {

// FormatReceived copies such a pair, and ParseEscapes then reads it as an escape.
bool HasEscapeWindow(QByteArrayView bytes)
{
    for (qsizetype i = 0; i + 5 < bytes.size(); ++i) {
        if (bytes[i] == '<' && bytes[i + 5] == '>')
            return true;
    }
    return false;
}

bool HasCarriageReturn(QByteArrayView bytes)
{
    return bytes.contains('\r');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = BytesToText(bytes);

    const std::optional<QByteArray> parsed = ParseEscapes(bytes);
    if (parsed)
        Require(parsed->size() <= bytes.size(), "ParseEscapes grew the text");

    const double lenient = LenientValue(bytes);
    Require(!std::isnan(lenient), "LenientValue gave NaN");
    Require(LenientValue(QStringView(text)) == lenient, "LenientValue differs between bytes and text");
    RoundToInt16(lenient);
    RoundToInt32(lenient);
    RoundToInt64(lenient);
    FormatPicture(lenient, u"00.0%");
    FormatPicture(lenient, u"000");

    const std::optional<double> strict = StrictValue(bytes);
    const std::optional<double> strictText = StrictValue(QStringView(text));
    Require(strict.has_value() == strictText.has_value() && (!strict || *strict == *strictText),
            "StrictValue differs between bytes and text");
    // A strict number is also what the lenient reading finds, except where a
    // leading carriage return stops the lenient reader.
    if (strict && !HasCarriageReturn(bytes))
        Require(*strict == lenient, "StrictValue and LenientValue disagree");

    const QByteArray received = FormatReceived(bytes);
    if (!HasEscapeWindow(bytes)) {
        const std::optional<QByteArray> back = ParseEscapes(received);
        Require(back && *back == bytes, "ParseEscapes(FormatReceived(x)) != x");
    }

    Require(TextToBytes(text) == bytes, "TextToBytes(BytesToText(x)) != x");
    Require(IsRepresentable(text), "a byte's character is not representable");
    return 0;
}
