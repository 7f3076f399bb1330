#include "simulator/SimHidBus.h"
#include "platform/ReportDescriptor.h"
#include "simulator/SimController.h"

namespace {
const std::string CONTROLLER = "sim:controller";
const std::string TWIN = "sim:controller-twin";
const std::string OTHER = "sim:other-";
} // namespace

class SimHidDevice : public HidDevice {
public:
    // descriptor: null when it cannot be read.
    // controller: the simulated controller behind it; null for another device.
    SimHidDevice(SimHidBus& bus, std::string path, const HidAttributes& attributes,
                 const std::vector<std::uint8_t>* descriptor, SimController* controller)
        : m_bus(bus), m_path(std::move(path)), m_attributes(attributes), m_descriptor(descriptor),
          m_controller(controller)
    {
        if (m_controller)
            ++m_bus.m_openHandles;
    }
    ~SimHidDevice() override
    {
        if (m_controller)
            --m_bus.m_openHandles;
    }

    std::string path() const override { return m_path; }
    int lastError() const override { return m_error; }

    bool attributes(HidAttributes& out) override
    {
        if (m_controller && !m_controller->presentAs(SimController::Mode::Hid))
            return false;
        out = m_attributes;
        return true;
    }
    bool caps(HidCaps& out) override
    {
        if (!m_descriptor)
            return false;
        if (m_controller && !m_controller->presentAs(SimController::Mode::Hid))
            return false;  // gone: its descriptor can no longer be read
        return ParseReportDescriptor(m_descriptor->data(), m_descriptor->size(), out);
    }
    bool setFeature(const std::uint8_t* data, std::size_t len) override
    {
        if (m_controller)
            ++m_bus.m_featureReports;
        if (!m_controller || !m_controller->presentAs(SimController::Mode::Hid))
            return failed(m_controller ? ENODEV : EPIPE);
        if (const int e = m_controller->knobs().setFeatureError)
            return failed(e);
        return m_controller->hidSetFeature(data, len) ||
               failed(m_controller->presentAs(SimController::Mode::Hid) ? EPIPE : ENODEV);
    }
    bool getFeature(std::uint8_t* data, std::size_t len) override
    {
        if (!m_controller || !m_controller->presentAs(SimController::Mode::Hid))
            return failed(m_controller ? ENODEV : EPIPE);
        if (const int e = m_controller->knobs().getFeatureError)
            return failed(e);
        // A read-back cut short by the controller leaving the bus fails as a
        // read on an unplugged hidraw node does.
        return m_controller->hidGetFeature(data, len) ||
               failed(m_controller->presentAs(SimController::Mode::Hid) ? EPIPE : ENODEV);
    }

private:
    bool failed(int error)
    {
        m_error = error;
        return false;
    }

    SimHidBus& m_bus;
    std::string m_path;
    int m_error = 0;
    HidAttributes m_attributes;
    const std::vector<std::uint8_t>* m_descriptor;
    SimController* m_controller;
};

SimHidBus::SimHidBus(SimController& controller) : m_controllers{&controller} {}

SimHidBus::SimHidBus(std::vector<SimController*> controllers) : m_controllers(std::move(controllers)) {}

std::string SimHidBus::PathOf(std::size_t index)
{
    return index == 0 ? CONTROLLER : CONTROLLER + "-" + std::to_string(index + 1);
}

const std::vector<std::uint8_t>& SimHidBus::controllerDescriptor()
{
    static const std::vector<std::uint8_t> d = {
        0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x85, 0x01,        //   Report ID (1)
        0x95, 0x3F,        //   Report Count (63)
        0x09, 0x02,        //   Usage (2)
        0x81, 0x02,        //   Input (Data, Variable, Absolute)
        0x09, 0x03,        //   Usage (3)
        0x91, 0x02,        //   Output (Data, Variable, Absolute)
        0x85, 0x02,        //   Report ID (2): mode switch and calibration
        0x95, 0x01,        //   Report Count (1)
        0x09, 0x04,        //   Usage (4)
        0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
    return d;
}

const std::vector<std::uint8_t>& SimHidBus::keyboardDescriptor()
{
    static const std::vector<std::uint8_t> d = {
        0x05, 0x01,  // Usage Page (Generic Desktop)
        0x09, 0x06,  // Usage (Keyboard)
        0xA1, 0x01,  // Collection (Application)
        0x05, 0x07,  //   Usage Page (Keyboard/Keypad)
        0x19, 0xE0,  //   Usage Minimum (Left Control)
        0x29, 0xE7,  //   Usage Maximum (Right GUI)
        0x15, 0x00,  //   Logical Minimum (0)
        0x25, 0x01,  //   Logical Maximum (1)
        0x75, 0x01,  //   Report Size (1)
        0x95, 0x08,  //   Report Count (8)
        0x81, 0x02,  //   Input (Data, Variable, Absolute): modifiers
        0x95, 0x01,  //   Report Count (1)
        0x75, 0x08,  //   Report Size (8)
        0x81, 0x01,  //   Input (Constant): reserved byte
        0x95, 0x05,  //   Report Count (5)
        0x75, 0x01,  //   Report Size (1)
        0x05, 0x08,  //   Usage Page (LEDs)
        0x19, 0x01,  //   Usage Minimum (Num Lock)
        0x29, 0x05,  //   Usage Maximum (Kana)
        0x91, 0x02,  //   Output (Data, Variable, Absolute): LEDs
        0x95, 0x01,  //   Report Count (1)
        0x75, 0x03,  //   Report Size (3)
        0x91, 0x01,  //   Output (Constant): padding
        0x95, 0x06,  //   Report Count (6)
        0x75, 0x08,  //   Report Size (8)
        0x15, 0x00,  //   Logical Minimum (0)
        0x25, 0x65,  //   Logical Maximum (101)
        0x05, 0x07,  //   Usage Page (Keyboard/Keypad)
        0x19, 0x00,  //   Usage Minimum (0)
        0x29, 0x65,  //   Usage Maximum (101)
        0x81, 0x00,  //   Input (Data, Array): key codes
        0xC0,        // End Collection
    };
    return d;
}

bool SimHidBus::interfaces(std::vector<HidInterface>& out)
{
    out.clear();
    if (m_enumerationFails)
        return false;
    for (std::size_t i = 0; i < m_others.size(); ++i) {
        const HidAttributes& a = m_others[i].attributes;
        out.push_back({OTHER + std::to_string(i), a.vendorId, a.productId, {}, {}});
    }
    for (std::size_t i = 0; i < m_controllers.size(); ++i) {
        if (!m_controllers[i]->presentAs(SimController::Mode::Hid))
            continue;
        const auto& k = m_controllers[i]->knobs();
        out.push_back({PathOf(i), k.vid, k.pid, k.usbPath, k.serialNumber});
        if (i == 0 && m_twin)
            out.push_back({TWIN, k.vid, k.pid, {}, {}});
    }
    return true;
}

std::unique_ptr<HidDevice> SimHidBus::open(const std::string& path, int* error)
{
    if (error)
        *error = 0;
    for (std::size_t i = 0; i < m_controllers.size(); ++i) {
        const bool twin = i == 0 && path == TWIN;
        if (path != PathOf(i) && !twin)
            continue;
        SimController& c = *m_controllers[i];
        if (!c.presentAs(SimController::Mode::Hid)) {
            if (error)
                *error = ENOENT;  // gone since the enumeration
            return nullptr;
        }
        const auto& k = c.knobs();
        if (k.hidOpenError != 0) {
            if (error)
                *error = k.hidOpenError;
            return nullptr;
        }
        HidAttributes a{k.vid, k.pid, static_cast<std::uint16_t>(twin ? k.version + 1 : k.version)};
        return std::make_unique<SimHidDevice>(*this, path, a,
                                              m_controllerDescriptorOk ? &controllerDescriptor() : nullptr, &c);
    }
    if (path.rfind(OTHER, 0) == 0) {
        const std::size_t i = std::stoul(path.substr(OTHER.size()));
        if (i >= m_others.size() || !m_others[i].openable) {
            if (error)
                *error = i >= m_others.size() ? ENOENT : m_others[i].openError;
            return nullptr;
        }
        const OtherDevice& other = m_others[i];
        const std::vector<std::uint8_t>* descriptor = nullptr;
        if (other.descriptorOk)
            descriptor = other.descriptor.empty() ? &keyboardDescriptor() : &other.descriptor;
        return std::make_unique<SimHidDevice>(*this, path, other.attributes, descriptor, nullptr);
    }
    if (error)
        *error = ENOENT;
    return nullptr;
}
