#include "base/clock.h"

namespace telvaro {

namespace {
std::function<QDateTime()> &nowSource()
{
    static std::function<QDateTime()> source;
    return source;
}
} // namespace

QDateTime LocalNow()
{
    const auto &source = nowSource();
    return source ? source() : QDateTime::currentDateTime();
}

void SetLocalNowSource(std::function<QDateTime()> source)
{
    nowSource() = std::move(source);
}

} // namespace telvaro
