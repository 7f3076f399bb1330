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
    // One controller for each knobs (at least one, at most MAX_CONTROLLERS).
    SimPlatform(Clock& clock, Prompts& prompts, const std::vector<SimKnobs>& controllers);
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

    // count controllers with knobs, but for their place on the USB bus and
    // their serial number: with more than one, controller i (from 0) sits at
    // "<usbPath>.<i+1>" (behind a hub) with the serial number's last digits
    // counting up.
    static std::vector<SimKnobs> Controllers(const SimKnobs& knobs, int count);

    // Reads simulator settings from text such as
    // "controllers=8,stallFromRecord=3,3.wrongAnswerAtRecord=10" (for demos
    // and for tests of the executable): the knobs of every controller from
    // defaults and the items without a number, then the knobs of controller
    // N (from 1) from the items "N.key=value". Keys: controllers, vid, pid,
    // version (hex), startMode (com or hid), startPresent (0 or 1),
    // wrongAnswerAtRecord, silentFromRecord, unplugAtRecord,
    // stallFromRecord, answerDelayMs, switchAbsentMs, calibrationMs,
    // calibrationResult, setFeatureError, getFeatureError, hidOpenError
    // (errno numbers), statusFields (0..6), statusStreams, statusRate (lines
    // per second, 0..10000), stallOn (some of n, d, z and $), lostAtSwitch,
    // unplugAtReport, usbPath, serialNumber. Returns false with error naming
    // the first item not understood.
    static bool ParseSettings(const QString& text, const SimKnobs& defaults, std::vector<SimKnobs>& controllers,
                              QString& error);

private:
    static std::vector<std::unique_ptr<SimController>> MakeControllers(Clock& clock,
                                                                       const std::vector<SimKnobs>& knobs);
    static std::vector<SimController*> Pointers(const std::vector<std::unique_ptr<SimController>>& controllers);

    Clock& m_clock;
    Prompts& m_prompts;
    std::vector<std::unique_ptr<SimController>> m_controllers;
    SimSerialPortMap m_portMap;
    SimHidBus m_hidBus;
    SimDeviceWatcher m_watcher;
};
