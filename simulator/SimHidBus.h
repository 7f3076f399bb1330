#pragma once
#include "platform/HidBus.h"
#include <QString>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

class SimController;

// The simulated HID bus: other HID devices put before the controllers, then
// each controller present in HID mode, in order (the first one's twin after
// it, if set), with its USB path and serial number.
// Report lengths come from each device's report descriptor, read by the same
// parser as on Linux.
class SimHidBus : public HidBus {
public:
    // Another HID device on the bus.
    struct OtherDevice {
        HidAttributes attributes;
        bool openable = true;      // false: cannot be opened (a keyboard held exclusively, no permission)
        bool descriptorOk = true;  // false: its report descriptor cannot be read
        // Its report descriptor; empty: a boot keyboard's.
        std::vector<std::uint8_t> descriptor;
        int openError = EACCES;    // the OS error of a refused open
    };

    // The controller's report descriptor: a vendor-defined collection with
    // input and output report 1 (63 data bytes each) and feature report 2
    // (1 data byte), which carries the mode-switch and calibration commands.
    static const std::vector<std::uint8_t>& controllerDescriptor();
    // A boot keyboard's report descriptor (no report IDs).
    static const std::vector<std::uint8_t>& keyboardDescriptor();

    explicit SimHidBus(SimController& controller);
    explicit SimHidBus(std::vector<SimController*> controllers);

    // Devices listed before the controller, in order.
    std::vector<OtherDevice>& others() { return m_others; }
    // A second controller with the same IDs after the first (for tests).
    void setTwinController(bool twin) { m_twin = twin; }
    // Makes the controller's descriptor unreadable.
    void setControllerDescriptorOk(bool ok) { m_controllerDescriptorOk = ok; }
    // Makes enumeration fail as a whole.
    void setEnumerationFails(bool fails) { m_enumerationFails = fails; }
    // Number of controller handles open now (to find leaks).
    int openControllerHandles() const { return m_openHandles; }
    // Feature reports sent to the controllers so far, taken or refused.
    int featureReportsSent() const { return m_featureReports; }

    bool interfaces(std::vector<HidInterface>& out) override;
    std::unique_ptr<HidDevice> open(const std::string& path, int* error = nullptr) override;

private:
    friend class SimHidDevice;
    // The path of controller index: "sim:controller", "sim:controller-2", ...
    static std::string PathOf(std::size_t index);

    std::vector<SimController*> m_controllers;
    std::vector<OtherDevice> m_others;
    bool m_twin = false;
    bool m_controllerDescriptorOk = true;
    bool m_enumerationFails = false;
    // Changed by devices closed on a calibration worker's thread, too.
    std::atomic<int> m_openHandles{0};
    std::atomic<int> m_featureReports{0};
};
