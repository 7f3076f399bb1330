#pragma once
#include "platform/HidBus.h"

// The present HID interfaces through hidapi's hidraw backend, ordered by
// device path in the kernel's numbering (/dev/hidraw2 before /dev/hidraw10,
// each once) so that positions are stable; their USB place from udev. Opened
// devices read their report lengths from the report descriptor, which this
// hidapi cannot give: it is read with the hidraw ioctl on the node, or from
// sysfs when the node cannot be opened for that. Window's thread.
class LinuxHidBus : public HidBus {
public:
    LinuxHidBus();
    ~LinuxHidBus() override;
    bool interfaces(std::vector<HidInterface>& out) override;
    std::unique_ptr<HidDevice> open(const std::string& path, int* error = nullptr) override;

    // The order of device paths: by text, except that paths that differ only
    // in the number they end with go by that number (hidraw2 before hidraw10).
    static bool PathLess(const std::string& a, const std::string& b);

private:
    bool m_initialised = false;
};
