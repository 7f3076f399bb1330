#include "platform/LinuxSerialPortMap.h"
#include <libudev.h>

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
        if (driver && node)
            ports.push_back({driver, node});
        udev_device_unref(dev);
    }
    udev_enumerate_unref(e);
    udev_unref(u);
    return ok;
}
