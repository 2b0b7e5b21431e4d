// Outside bytes through the TVD, QND and TV1 readers: whatever they read must
// write back to a file that reads again to the same table, and registers
// read must keep the register dialog's rules.

#include "codec/escapes.h"
#include "fuzzcheck.h"
#include "table/messagefiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace telvaro;

namespace {

// The entry as a file gives it back: quotes in escapes, the same bytes sent.
void RequireSameEntry(const MessageEntry &back, const MessageEntry &read, qsizetype position)
{
    Require(back.Interval == read.Interval, "interval changed");
    Require(back.Text == FileSafeText(read.Text), "text changed");
    Require(back.Comment == FileSafeComment(read.Comment), "comment changed");
    Require(ParseEscapes(back.Text) == ParseEscapes(read.Text), "bytes to send changed");
    Require(back.Number == position, "number is not the position");
}

void CheckTvd(QByteArrayView bytes)
{
    const MessageFileRead read = ReadTvd(bytes);
    Require(read.entries.size() <= MessageTable::MaxEntries, "TVD table beyond its limit");
    const MessageFileRead back = ReadTvd(WriteTvd(read.entries));
    Require(!back.error, "a written TVD file does not read");
    Require(back.entries.size() == read.entries.size(), "TVD entry count changed");
    for (qsizetype i = 0; i < read.entries.size(); ++i) {
        Require(read.entries[i].SendData.isEmpty(), "TVD filled SendData");
        RequireSameEntry(back.entries[i], read.entries[i], i);
    }
}

void CheckQnd(QByteArrayView bytes)
{
    const MessageFileRead read = ReadQnd(bytes);
    Require(read.entries.size() <= MessageTable::MaxEntries, "QND table beyond its limit");
    for (qsizetype i = 0; i < read.entries.size(); ++i) {
        const MessageEntry &e = read.entries[i];
        Require(e.Number == i, "QND number is not the position");
        Require(e.SendData == ParseEscapes(e.Text).value_or(QByteArray()), "QND SendData not from its text");
    }
    // An empty table always writes the same file; the round trip is for what was read.
    if (read.entries.isEmpty() || read.entries.size() > QndEntries)
        return;
    const MessageFileRead back = ReadQnd(WriteQnd(read.entries));
    Require(!back.error, "a written QND file does not read");
    Require(back.entries.size() == read.entries.size(), "QND entry count changed");
    for (qsizetype i = 0; i < read.entries.size(); ++i)
        RequireSameEntry(back.entries[i], read.entries[i], i);
}

void CheckTv1(QByteArrayView bytes)
{
    const RegisterFileRead read = ReadTv1(bytes);
    if (read.result != RegisterFileRead::Result::Loaded)
        return;
    // Every register read is one the register dialog could have set.
    for (size_t r = 1; r < read.registers.size(); ++r)
        Require(IsRegisterWidth(read.registers[r].Width) && IsRegisterFill(read.registers[r].Fill),
                "a register outside the dialog's rules was read");
    const RegisterFileRead back = ReadTv1(WriteTv1(read.registers, RegisterFileFormat));
    Require(back.result == RegisterFileRead::Result::Loaded, "a written TV1 file does not read");
    for (size_t r = 1; r < read.registers.size(); ++r) {
        Require(back.registers[r].Width == read.registers[r].Width, "register width changed");
        Require(back.registers[r].Fill == read.registers[r].Fill, "register fill changed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CheckTvd(bytes);
    CheckQnd(bytes);
    CheckTv1(bytes);

    const QByteArray safe = FileSafeText(bytes);
    Require(!safe.contains('"'), "a quote is left in a text");
    Require(ParseEscapes(safe) == ParseEscapes(bytes), "FileSafeText changed the bytes to send");
    return 0;
}
