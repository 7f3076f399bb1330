#include "cli/Controllers.h"
#include "serial/SerialPortRule.h"
#include "hid/HidText.h"
#include "platform/HidBus.h"
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

namespace {
QString Where(const QString& name, const QString& usbPath, const QString& serial)
{
    QStringList where;
    if (!usbPath.isEmpty())
        where << QStringLiteral("usb ") + usbPath;
    if (!serial.isEmpty())
        where << QStringLiteral("serial ") + serial;
    return where.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, where.join(QStringLiteral(", ")));
}
} // namespace

QString Describe(const ComPort& port) { return Where(port.port, port.usbPath, port.serial); }

QString Describe(const HidController& controller)
{
    return Where(controller.path, controller.usbPath, controller.serial);
}

std::vector<HidController> HidControllers(HidBus& bus, const QString& vid, const QString& pid, bool versions)
{
    std::vector<HidController> out;
    std::vector<HidInterface> list;
    if (!bus.interfaces(list))
        return out;
    for (const HidInterface& i : list) {
        if (!HidText::IdsMatch(i.vendorId, i.productId, vid, pid))
            continue;
        // Several interfaces of one USB device are one controller.
        if (std::any_of(out.begin(), out.end(), [&i](const HidController& c) { return BelongsTo(i, c); }))
            continue;
        HidController c{QString::fromStdString(i.path), QString::fromStdString(i.usbPath),
                        QString::fromStdString(i.serial), {}, {}};
        if (versions) {
            int error = 0;
            HidAttributes a;
            if (auto device = bus.open(i.path, &error); device && device->attributes(a))
                c.version = HidText::VersionText(a.versionNumber);
            else
                c.error = HidFailure(DeviceOutcome::Step::Open, i.path, error).line();
        }
        out.push_back(c);
    }
    return out;
}

std::vector<HidController> Select(const std::vector<HidController>& controllers, const QString& usbPath,
                                  const QString& serial)
{
    std::vector<HidController> out;
    for (const HidController& c : controllers)
        if ((usbPath.isEmpty() || c.usbPath == usbPath) && (serial.isEmpty() || c.serial == serial))
            out.push_back(c);
    return out;
}

bool BelongsTo(const HidInterface& interface, const HidController& controller)
{
    if (!controller.usbPath.isEmpty())
        return QString::fromStdString(interface.usbPath) == controller.usbPath;
    return QString::fromStdString(interface.path) == controller.path;
}

} // namespace Controllers
