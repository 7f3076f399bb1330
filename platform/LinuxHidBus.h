#pragma once
#include "platform/HidBus.h"

// The present HID interfaces through hidapi's hidraw backend, ordered by
// device path so that positions are stable.
class LinuxHidBus : public HidBus {
public:
    LinuxHidBus();
    ~LinuxHidBus() override;
    bool interfaces(std::vector<std::string>& paths) override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;

private:
    bool m_initialised = false;
};
