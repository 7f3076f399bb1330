#include "simulator/SimHidBus.h"
#include "simulator/SimController.h"

namespace {
const std::string CONTROLLER = "sim:controller";
const std::string TWIN = "sim:controller-twin";
const std::string OTHER = "sim:other-";
} // namespace

class SimHidDevice : public HidDevice {
public:
    SimHidDevice(SimHidBus& bus, const HidAttributes& attributes, bool descriptorOk, bool controller)
        : m_bus(bus), m_attributes(attributes), m_descriptorOk(descriptorOk), m_controller(controller)
    {
        if (m_controller)
            ++m_bus.m_openHandles;
    }
    ~SimHidDevice() override
    {
        if (m_controller)
            --m_bus.m_openHandles;
    }

    bool attributes(HidAttributes& out) override
    {
        if (m_controller && !m_bus.m_controller.presentAs(SimController::Mode::Hid))
            return false;
        out = m_attributes;
        return true;
    }
    bool caps(HidCaps& out) override
    {
        if (!m_descriptorOk)
            return false;
        // The controller's descriptor: report 2 feature (2 bytes), report 1
        // input of 9 bytes and output of 9 bytes, each with its ID byte.
        out.inputReportLength = 10;
        out.outputReportLength = 10;
        out.featureReportLength = 2;
        return true;
    }
    bool setFeature(const std::uint8_t* data, std::size_t len) override
    {
        if (!m_controller || !m_bus.m_controller.presentAs(SimController::Mode::Hid))
            return false;
        return m_bus.m_controller.hidSetFeature(data, len);
    }
    bool getFeature(std::uint8_t* data, std::size_t len) override
    {
        if (!m_controller || !m_bus.m_controller.presentAs(SimController::Mode::Hid))
            return false;
        return m_bus.m_controller.hidGetFeature(data, len);
    }

private:
    SimHidBus& m_bus;
    HidAttributes m_attributes;
    bool m_descriptorOk;
    bool m_controller;
};

SimHidBus::SimHidBus(SimController& controller) : m_controller(controller) {}

bool SimHidBus::interfaces(std::vector<std::string>& paths)
{
    paths.clear();
    if (m_enumerationFails)
        return false;
    for (std::size_t i = 0; i < m_others.size(); ++i)
        paths.push_back(OTHER + std::to_string(i));
    if (m_controller.presentAs(SimController::Mode::Hid)) {
        paths.push_back(CONTROLLER);
        if (m_twin)
            paths.push_back(TWIN);
    }
    return true;
}

std::unique_ptr<HidDevice> SimHidBus::open(const std::string& path)
{
    if (path == CONTROLLER || path == TWIN) {
        if (!m_controller.presentAs(SimController::Mode::Hid))
            return nullptr;  // gone since the enumeration
        const auto& k = m_controller.knobs();
        HidAttributes a{k.vid, k.pid, static_cast<std::uint16_t>(path == TWIN ? k.version + 1 : k.version)};
        return std::make_unique<SimHidDevice>(*this, a, m_controllerDescriptorOk, true);
    }
    if (path.rfind(OTHER, 0) == 0) {
        const std::size_t i = std::stoul(path.substr(OTHER.size()));
        if (i >= m_others.size() || !m_others[i].openable)
            return nullptr;
        return std::make_unique<SimHidDevice>(*this, m_others[i].attributes, m_others[i].descriptorOk, false);
    }
    return nullptr;
}
