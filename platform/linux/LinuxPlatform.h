#pragma once
#include "platform/Platform.h"
#include "platform/linux/LinuxHidBus.h"
#include "platform/linux/LinuxSerialPortMap.h"
#include "platform/linux/UdevDeviceWatcher.h"

// The real machine's device access: udev's serial-port map, hidapi's HID bus
// and udev's device events. The clock and the prompts come from the face.
// Created, used and destroyed on the main thread.
class LinuxPlatform {
public:
    LinuxPlatform(Clock& clock, Prompts& prompts) : m_clock(clock), m_prompts(prompts) {}

    Platform platform() { return {&m_clock, &m_prompts, &m_portMap, &m_hidBus, &m_watcher}; }

private:
    Clock& m_clock;
    Prompts& m_prompts;
    LinuxSerialPortMap m_portMap;
    LinuxHidBus m_hidBus;
    UdevDeviceWatcher m_watcher;
};
