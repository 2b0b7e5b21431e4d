#include "link/linksettings.h"

#include "base/settingsstore.h"
#include "codec/numbers.h"

namespace telvaro {

StoredLinkSettings ReadLinkSettings(const SettingsStore &store)
{
    const LinkSettings defaults;
    StoredLinkSettings read;
    read.storedPort = store.read(SettingsKeys::Port(), QString::number(defaults.PortNumber));
    const auto port = RoundToInt16(LenientValue(read.storedPort));
    if (!port)
        return read;
    LinkSettings s;
    s.PortNumber = *port;
    s.IpAddress = store.read(SettingsKeys::IpAddress(), defaults.IpAddress);
    s.IpPort = store.read(SettingsKeys::IpPort(), defaults.IpPort);
    s.BaudText = store.read(SettingsKeys::Baud(), defaults.BaudText);
    read.settings = s;
    return read;
}

void WriteLinkSettings(SettingsStore &store, const LinkSettings &settings)
{
    store.write(SettingsKeys::Port(), QString::number(settings.PortNumber));
    store.write(SettingsKeys::IpAddress(), settings.IpAddress);
    store.write(SettingsKeys::IpPort(), settings.IpPort);
    store.write(SettingsKeys::Baud(), settings.BaudText);
}

} // namespace telvaro
