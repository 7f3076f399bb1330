#pragma once
#include "platform/HidBus.h"

// The present HID interfaces through hidapi's hidraw backend, ordered by
// device path (/dev/hidrawN, each once) so that positions are stable. Opened
// devices read their report lengths from the report descriptor, which this
// hidapi cannot give: it is read with the hidraw ioctl on the node, or from
// sysfs when the node cannot be opened for that. Window's thread.
class LinuxHidBus : public HidBus {
public:
    LinuxHidBus();
    ~LinuxHidBus() override;
    bool interfaces(std::vector<std::string>& paths) override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;

private:
    bool m_initialised = false;
};
