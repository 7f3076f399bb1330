#pragma once
#include "platform/Platform.h"
#include "simulator/SimController.h"
#include "simulator/SimDeviceWatcher.h"
#include "simulator/SimHidBus.h"
#include "simulator/SimSerialPortMap.h"
#include <QString>
#include <memory>
#include <vector>

// The whole simulated platform: one or more controllers and the seams built
// on them. The clock and the prompts come from outside (the real ones in the
// demo, test doubles in tests).
class SimPlatform {
public:
    // count controllers, all with knobs except their place on the USB bus
    // and their serial number: with more than one, controller i (from 0)
    // sits at "<usbPath>.<i+1>" (behind a hub) with the serial number's
    // last digits counting up.
    SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs = {}, int count = 1);
    // Ends blocked HID read-backs and waits for their
    // workers to close the devices they still hold (a second at most), before
    // the bus goes.
    ~SimPlatform();

    Platform platform();
    SimController& controller(int i = 0) { return *m_controllers[static_cast<std::size_t>(i)]; }
    int controllerCount() const { return static_cast<int>(m_controllers.size()); }
    SimHidBus& hidBus() { return m_hidBus; }

    // The most controllers one platform simulates.
    static constexpr int MAX_CONTROLLERS = 16;

    // Reads simulator settings from text such as
    // "controllers=2,stallFromRecord=3" into knobs and count (for demos and
    // for tests of the executable). Keys: controllers, vid, pid, version
    // (hex), startPresent (0 or 1),
    // wrongAnswerAtRecord, silentFromRecord, unplugAtRecord,
    // stallFromRecord, answerDelayMs, switchAbsentMs, calibrationMs,
    // calibrationResult, setFeatureError, getFeatureError (errno numbers),
    // usbPath, serialNumber. Returns false with error
    // naming the first item not understood.
    static bool ParseSettings(const QString& text, SimKnobs& knobs, int& count, QString& error);

private:
    static std::vector<std::unique_ptr<SimController>> MakeControllers(Clock& clock, const SimKnobs& knobs,
                                                                       int count);
    static std::vector<SimController*> Pointers(const std::vector<std::unique_ptr<SimController>>& controllers);

    Clock& m_clock;
    Prompts& m_prompts;
    std::vector<std::unique_ptr<SimController>> m_controllers;
    SimSerialPortMap m_portMap;
    SimHidBus m_hidBus;
    SimDeviceWatcher m_watcher;
};
