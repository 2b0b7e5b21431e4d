#include "devsim/roles.h"

#include "devsim/transports.h"

namespace telvaro::devsim {

void RecorderRole::onReceived(const QByteArray &, Transport &transport)
{
    if (!m_reply.isEmpty())
        transport.reply(m_reply);
}

std::unique_ptr<DeviceRole> MakeRole(const QString &name, const QByteArray &reply)
{
    if (name == QLatin1String("recorder"))
        return std::make_unique<RecorderRole>(reply);
    return nullptr;
}

} // namespace telvaro::devsim
