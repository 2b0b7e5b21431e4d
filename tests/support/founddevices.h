#pragma once
// The serial devices "plugged in" for a test: terminals of the test, with
// stable names from a folder of links standing in for /dev/serial/by-id/.
// Installed as the program's source while it lives.

#include "link/serialdevices.h"

namespace telvaro::test {

struct FoundDevices : SerialDeviceSource {
    QList<SerialDevice> list;
    QString folder;

    FoundDevices() { SetSerialDeviceSource(this); }
    ~FoundDevices() override { SetSerialDeviceSource(nullptr); }
    FoundDevices(const FoundDevices &) = delete;
    FoundDevices &operator=(const FoundDevices &) = delete;
    QList<SerialDevice> devices() const override { return WithStableNames(list, folder); }
};

} // namespace telvaro::test
