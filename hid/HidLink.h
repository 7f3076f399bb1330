#pragma once
#include "platform/HidBus.h"
#include <cstdint>
#include <functional>
#include <memory>

class HidHost;

// Finding, identifying, opening and closing the controller as a HID device.
// Writes its messages into its host's log and shows the texts through the
// host where the sequence shows them. The thread that created it only (the
// window's, or a command's).
class HidLink {
public:
    // The three outcomes of GetHidDevicePath.
    enum class PathResult { Opened, Invalid, None };

    HidLink(HidBus& bus, HidHost& host);
    ~HidLink();

    // The device at position in the present HID interfaces. Opened: device
    // holds it; Invalid: it exists but cannot be opened; None: no interface
    // there (or enumeration failed, logged) and the search ends. Positions
    // are those of the bus at this call. After an open attempt (Opened or
    // Invalid) the host refreshes.
    PathResult GetHidDevicePath(int position, std::unique_ptr<HidDevice>& device);
    // True when device is the controller named by the VID and PID texts; the
    // device then stays with the caller. On false it has been closed (reset).
    // Reads the host's IDs first; on a match the log is started afresh with
    // the found message and the version shown. Stores the report lengths; a device
    // whose descriptor cannot be read is never identified.
    bool IdentifyHidDevice(std::unique_ptr<HidDevice>& device);
    // Searches from position 0; true with the controller open in m_hHid.
    // Closes a handle still held in m_hHid first, so none leaks. On false,
    // failure() says why when the reason is known.
    bool OpenHidDevice();
    // Why the last OpenHidDevice found no controller although the bus lists
    // an interface with the VID and PID: the first such interface that could
    // not be opened, with the OS error. ok() when there was none.
    const DeviceOutcome& failure() const { return m_failure; }
    // The interface the search looked at last: after a successful
    // OpenHidDevice, the controller's (its USB path and serial number).
    const HidInterface& lastInterface() const { return m_lastInterface; }
    // Whether the bus lists an interface whose IDs the texts vid and pid
    // match: enumeration only, nothing is opened, logged or shown.
    bool Present(const QString& vid, const QString& pid) const;
    // Closes device (which may be null) and logs the outcome; true when a
    // device was closed. The caller's pointer is reset.
    bool CloseHidDevice(std::unique_ptr<HidDevice>& device);

    // The interfaces the search looks at; every one when empty. Those it
    // passes over count as not there. (The command line picks one
    // controller among several this way.)
    std::function<bool(const HidInterface&)> acceptInterface;

    std::unique_ptr<HidDevice> m_hHid;
    std::uint16_t m_wInputReportLen = 0;
    std::uint16_t m_wOutputReportLen = 0;

private:
    // Whether interface has the IDs the host holds now.
    bool matchesHostIds(const HidInterface& interface) const;

    HidBus& m_bus;
    DeviceOutcome m_failure;
    HidInterface m_lastInterface;  // the interface GetHidDevicePath tried last
    int m_lastOpenError = 0;       // and the OS error of its open
    HidHost& m_host;
};
