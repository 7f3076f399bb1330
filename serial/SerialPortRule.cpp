#include "serial/SerialPortRule.h"
#include <algorithm>

bool SerialPortRule::IsControllerDevice(const std::string& deviceName)
{
    return deviceName.find("USBSER") != std::string::npos || deviceName == "cdc_acm";
}

bool SerialPortRule::Accepts(const SerialPortEntry& e)
{
    return e.deviceName.size() <= MAX_NAME && e.portName.size() <= MAX_NAME && IsControllerDevice(e.deviceName);
}

QString SerialPortRule::FindPort(const std::vector<SerialPortEntry>& ports)
{
    const std::size_t n = std::min<std::size_t>(ports.size(), MAX_ENTRIES);
    for (std::size_t i = 0; i < n; ++i) {
        if (Accepts(ports[i]))
            return QString::fromLatin1(ports[i].portName.c_str());
    }
    return {};
}
