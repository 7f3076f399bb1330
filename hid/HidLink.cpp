#include "hid/HidLink.h"
#include "hid/HidHost.h"
#include "hid/HidText.h"
#include <algorithm>

HidLink::HidLink(HidBus& bus, HidHost& host) : m_bus(bus), m_host(host) {}

HidLink::~HidLink() = default;

HidLink::PathResult HidLink::GetHidDevicePath(int position, std::unique_ptr<HidDevice>& device)
{
    device.reset();
    m_lastInterface = {};
    m_lastOpenError = 0;
    // A fresh set at every call: positions are those of this moment.
    std::vector<HidInterface> list;
    if (!m_bus.interfaces(list)) {
        m_host.Log(QStringLiteral("No HDEVINFO available for this GUID...\r\n"));
        return PathResult::None;
    }
    if (position < 0 || static_cast<std::size_t>(position) >= list.size())
        return PathResult::None;  // past the last interface: the search ends here
    m_lastInterface = list[static_cast<std::size_t>(position)];
    if (m_lastInterface.path.empty()) {
        // An interface whose path cannot be told: nothing to open.
        m_host.Log(QStringLiteral("Finding Device Path Error!"));
        return PathResult::None;
    }
    if (acceptInterface && !acceptInterface(m_lastInterface)) {
        m_lastInterface = {};
        return PathResult::Invalid;
    }
    // Null when the interface may not be opened, is held exclusively or went
    // away meanwhile.
    device = m_bus.open(m_lastInterface.path, &m_lastOpenError);
    m_host.Refresh();
    return device ? PathResult::Opened : PathResult::Invalid;
}

bool HidLink::IdentifyHidDevice(std::unique_ptr<HidDevice>& device)
{
    HidAttributes attributes;
    if (!device || !device->attributes(attributes)) {
        device.reset();
        return false;
    }
    // Compare with the IDs as the user left them now.
    QString vid, pid;
    m_host.ReadIds(vid, pid);
    bool result = false;
    if (HidText::IdsMatch(attributes.vendorId, attributes.productId, vid, pid)) {
        m_host.StartLog(QStringLiteral("Found HID Device!\r\n"));  // the earlier log goes
        m_host.SetVersion(HidText::VersionText(attributes.versionNumber));
        m_host.DisableVersionEdit();
        result = true;
    } else {
        m_host.SetVersion(QStringLiteral(" "));
    }
    m_host.Refresh();

    // Every device that got this far must give its report lengths.
    HidCaps caps;
    if (!device->caps(caps)) {
        m_host.Log(QStringLiteral("Could not get HID preparsed data!\r\n"));
        result = false;
    } else {
        m_wInputReportLen = caps.inputReportLength;
        m_wOutputReportLen = caps.outputReportLength;
    }
    m_host.Refresh();
    if (!result)
        device.reset();
    return result;
}

bool HidLink::OpenHidDevice()
{
    // A handle still held (after a device arrival or a download's probe)
    // would be overwritten by the search; close it so it does not leak.
    m_hHid.reset();
    m_failure = {};
    for (int position = 0;; ++position) {
        const PathResult found = GetHidDevicePath(position, m_hHid);
        if (found == PathResult::None)
            return false;
        // The controller may be there but closed to this user: say so, as
        // otherwise it looks just like an absent one.
        if (found == PathResult::Invalid && m_failure.ok() && matchesHostIds(m_lastInterface))
            m_failure = HidFailure(DeviceOutcome::Step::Open, m_lastInterface.path, m_lastOpenError);
        // An interface that could not be opened leaves m_hHid null; the
        // identification then fails without a message and the search goes on.
        if (IdentifyHidDevice(m_hHid)) {
            m_host.Log(QStringLiteral("HID Opened OK!\r\n"));
            return true;
        }
    }
}

bool HidLink::matchesHostIds(const HidInterface& interface) const
{
    QString vid, pid;
    m_host.HeldIds(vid, pid);
    return HidText::IdsMatch(interface.vendorId, interface.productId, vid, pid);
}

bool HidLink::Present(const QString& vid, const QString& pid) const
{
    std::vector<HidInterface> list;
    if (!m_bus.interfaces(list))
        return false;
    return std::any_of(list.begin(), list.end(),
                       [&](const HidInterface& i) { return HidText::IdsMatch(i.vendorId, i.productId, vid, pid); });
}

bool HidLink::CloseHidDevice(std::unique_ptr<HidDevice>& device)
{
    if (!device) {
        m_host.Log(QStringLiteral("Handle haved closed before this operation!\r\n"));
        m_host.Log(QStringLiteral("CloseHandle Failed!\r\n"));
        return false;
    }
    device.reset();
    m_host.Log(QStringLiteral("CloseHandle worked!\r\n"));
    return true;
}
