#pragma once

class Clock;
class Prompts;
class SerialPortMap;
class HidBus;
class DeviceWatcher;

// The device access the tool runs on: the Linux implementations, or the
// simulated controller's. Nothing here is owned. Each seam's header says
// which thread may call it; cli/PlatformChoice makes them.
struct Platform {
    Clock* clock = nullptr;
    Prompts* prompts = nullptr;
    SerialPortMap* portMap = nullptr;
    HidBus* hidBus = nullptr;
    DeviceWatcher* watcher = nullptr;
    bool simulated = false;  // the simulated controller, not the hardware
};
