#include "hid/HidLink.h"
#include "app/ToolData.h"
#include "hid/HidText.h"

HidLink::HidLink(HidBus& bus, ToolData& data, DataExchange& exchange) : m_bus(bus), m_data(data), m_exchange(exchange)
{
}

HidLink::~HidLink() = default;

HidLink::PathResult HidLink::GetHidDevicePath(int position, std::unique_ptr<HidDevice>& device)
{
    device.reset();
    // A fresh set at every call: positions are those of this moment.
    std::vector<std::string> paths;
    if (!m_bus.interfaces(paths)) {
        m_data.Log(QStringLiteral("No HDEVINFO available for this GUID...\r\n"));
        return PathResult::None;
    }
    if (position < 0 || static_cast<std::size_t>(position) >= paths.size())
        return PathResult::None;  // past the last interface: the search ends here
    const std::string& path = paths[static_cast<std::size_t>(position)];
    if (path.empty()) {
        // An interface whose path cannot be told: nothing to open.
        m_data.Log(QStringLiteral("Finding Device Path Error!"));
        return PathResult::None;
    }
    // Null when the interface is held exclusively or went away meanwhile.
    device = m_bus.open(path);
    m_exchange.UpdateData(false);
    return device ? PathResult::Opened : PathResult::Invalid;
}

bool HidLink::IdentifyHidDevice(std::unique_ptr<HidDevice>& device)
{
    HidAttributes attributes;
    if (!device || !device->attributes(attributes)) {
        device.reset();
        return false;
    }
    // Compare with what the edits hold now.
    m_exchange.UpdateData(true);
    bool result = false;
    if (HidText::IdsMatch(attributes.vendorId, attributes.productId, m_data.m_strVid, m_data.m_strPid)) {
        m_data.m_strLog = QStringLiteral("Found HID Device!\r\n");  // replaces the whole log
        m_data.m_strVersion = HidText::VersionText(attributes.versionNumber);
        if (onDisableVersionEdit)
            onDisableVersionEdit();
        result = true;
    } else {
        m_data.m_strVersion = QStringLiteral(" ");
    }
    m_exchange.UpdateData(false);

    // Every device that got this far must give its report lengths.
    HidCaps caps;
    if (!device->caps(caps)) {
        m_data.Log(QStringLiteral("Could not get HID preparsed data!\r\n"));
        result = false;
    } else {
        m_wInputReportLen = caps.inputReportLength;
        m_wOutputReportLen = caps.outputReportLength;
    }
    m_exchange.UpdateData(false);
    if (!result)
        device.reset();
    return result;
}

bool HidLink::OpenHidDevice()
{
    // A handle still held (after a device arrival or a download's probe)
    // would be overwritten by the search; close it so it does not leak.
    m_hHid.reset();
    for (int position = 0;; ++position) {
        if (GetHidDevicePath(position, m_hHid) == PathResult::None)
            return false;
        // An interface that could not be opened leaves m_hHid null; the
        // identification then fails without a message and the search goes on.
        if (IdentifyHidDevice(m_hHid)) {
            m_data.Log(QStringLiteral("HID Opened OK!\r\n"));
            return true;
        }
    }
}

bool HidLink::CloseHidDevice(std::unique_ptr<HidDevice>& device)
{
    if (!device) {
        m_data.Log(QStringLiteral("Handle haved closed before this operation!\r\n"));
        m_data.Log(QStringLiteral("CloseHandle Failed!\r\n"));
        return false;
    }
    device.reset();
    m_data.Log(QStringLiteral("CloseHandle worked!\r\n"));
    return true;
}
