#include "cli/Controllers.h"
#include "app/SerialPortRule.h"
#include "platform/SerialPortMap.h"
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace Controllers {

std::vector<ComPort> ComPorts(const SerialPortMap& map)
{
    std::vector<SerialPortEntry> entries;
    std::vector<ComPort> out;
    if (!map.ports(entries))
        return out;
    entries.resize(std::min<std::size_t>(entries.size(), SerialPortRule::MAX_ENTRIES));
    for (const SerialPortEntry& e : entries) {
        if (!SerialPortRule::Accepts(e))
            continue;
        out.push_back({QString::fromLocal8Bit(e.portName.c_str()), QString::fromLocal8Bit(e.usbPath.c_str()),
                       QString::fromLocal8Bit(e.serialNumber.c_str())});
    }
    return out;
}

std::vector<ComPort> Select(const std::vector<ComPort>& ports, const QString& usbPath, const QString& serial)
{
    std::vector<ComPort> out;
    for (const ComPort& p : ports)
        if ((usbPath.isEmpty() || p.usbPath == usbPath) && (serial.isEmpty() || p.serial == serial))
            out.push_back(p);
    return out;
}

QString ResolvePort(const QString& given)
{
    if (!given.contains(u'/'))
        return given;
    const QString device = QFileInfo(given).canonicalFilePath();
    if (device.isEmpty())
        return given;
    const QString name = device.mid(5);
    if (device.startsWith(QLatin1String("/dev/")) && !name.contains(u'/'))
        return name;
    return device;
}

QString Describe(const ComPort& port)
{
    QStringList where;
    if (!port.usbPath.isEmpty())
        where << QStringLiteral("usb ") + port.usbPath;
    if (!port.serial.isEmpty())
        where << QStringLiteral("serial ") + port.serial;
    return where.isEmpty() ? port.port : QStringLiteral("%1 (%2)").arg(port.port, where.join(QStringLiteral(", ")));
}

} // namespace Controllers
