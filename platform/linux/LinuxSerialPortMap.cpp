#include "platform/linux/LinuxSerialPortMap.h"
#include <libudev.h>

namespace {
// The serial number of the USB device a tty belongs to: udev's property when
// its database has one, else the device's own attribute.
const char* SerialNumberOf(udev_device* tty, udev_device* usb)
{
    if (const char* s = udev_device_get_property_value(tty, "ID_SERIAL_SHORT"))
        return s;
    return usb ? udev_device_get_sysattr_value(usb, "serial") : nullptr;
}
} // namespace

bool LinuxSerialPortMap::ports(std::vector<SerialPortEntry>& ports) const
{
    ports.clear();
    udev* u = udev_new();
    if (!u)
        return false;
    udev_enumerate* e = udev_enumerate_new(u);
    if (!e) {
        udev_unref(u);
        return false;
    }
    udev_enumerate_add_match_subsystem(e, "tty");
    const bool ok = udev_enumerate_scan_devices(e) >= 0;
    for (udev_list_entry* it = udev_enumerate_get_list_entry(e); ok && it; it = udev_list_entry_get_next(it)) {
        udev_device* dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(it));
        if (!dev)
            continue;
        // A tty without a driver anywhere above it is a virtual terminal or
        // a console, not a serial port.
        const char* driver = nullptr;
        for (udev_device* p = udev_device_get_parent(dev); p && !driver; p = udev_device_get_parent(p))
            driver = udev_device_get_driver(p);
        const char* node = udev_device_get_sysname(dev);
        if (driver && node) {
            SerialPortEntry entry{driver, node};
            // The parent is owned by dev and goes with it.
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
            if (usb) {
                if (const char* path = udev_device_get_sysname(usb))
                    entry.usbPath = path;
            }
            if (const char* serial = SerialNumberOf(dev, usb))
                entry.serialNumber = serial;
            ports.push_back(std::move(entry));
        }
        udev_device_unref(dev);
    }
    udev_enumerate_unref(e);
    udev_unref(u);
    return ok;
}
