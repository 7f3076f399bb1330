#pragma once
#include "platform/Platform.h"
#include <QSocketNotifier>
#include "simulator/SimController.h"
#include "simulator/SimDeviceWatcher.h"
#include "simulator/SimHidBus.h"
#include "simulator/SimSerialPortMap.h"

// The whole simulated platform: the controller and the seams built on it. The
// clock and the prompts come from outside (the real ones in the demo, test
// doubles in tests).
class SimPlatform {
public:
    SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs = {});
    // Ends blocked HID read-backs and waits for their
    // workers to close the devices they still hold (a second at most), before
    // the bus goes.
    ~SimPlatform();

    Platform platform();
    SimController& controller() { return m_controller; }
    SimHidBus& hidBus() { return m_hidBus; }

    // For demos: from now on SIGUSR1 makes another USB device leave the bus
    // (kill -USR1 <pid>), so that the window can be seen to keep the
    // controller. Window's thread; one platform per process at a time.
    void removeOtherDeviceOnSignal();

private:
    Clock& m_clock;
    Prompts& m_prompts;
    SimController m_controller;
    SimSerialPortMap m_portMap;
    SimHidBus m_hidBus;
    SimDeviceWatcher m_watcher;
    QSocketNotifier* m_signalNotifier = nullptr;
};
