#pragma once
#include "platform/HidBus.h"
#include <cstdint>
#include <functional>
#include <memory>

struct ToolData;
class DataExchange;

// Finding, identifying, opening and closing the controller as a HID device.
// Writes its messages into the window's log (ToolData) and runs the data
// exchange where the sequence shows texts. Window's thread only.
class HidLink {
public:
    // The three outcomes of GetHidDevicePath.
    enum class PathResult { Opened, Invalid, None };

    HidLink(HidBus& bus, ToolData& data, DataExchange& exchange);
    ~HidLink();

    // The device at position in the present HID interfaces. Opened: device
    // holds it; Invalid: it exists but cannot be opened; None: no interface
    // there (or enumeration failed, logged) and the search ends. Positions
    // are those of the bus at this call. After an open attempt (Opened or
    // Invalid) the controls are refreshed.
    PathResult GetHidDevicePath(int position, std::unique_ptr<HidDevice>& device);
    // True when device is the controller named by the VID and PID texts; the
    // device then stays with the caller. On false it has been closed (reset).
    // Reads the edits first; on a match the log is replaced by the found
    // message and the version shown. Stores the report lengths; a device
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
    // Whether the bus lists an interface with the VID and PID texts as the
    // members hold them now: enumeration only, nothing is opened, logged or
    // shown.
    bool Present() const;
    // Closes device (which may be null) and logs the outcome; true when a
    // device was closed. The caller's pointer is reset.
    bool CloseHidDevice(std::unique_ptr<HidDevice>& device);

    // Called when identification disables the version edit.
    std::function<void()> onDisableVersionEdit;
    // The interfaces the search looks at; every one when empty. Those it
    // passes over count as not there. (The command line picks one
    // controller among several this way.)
    std::function<bool(const HidInterface&)> acceptInterface;

    std::unique_ptr<HidDevice> m_hHid;
    std::uint16_t m_wInputReportLen = 0;
    std::uint16_t m_wOutputReportLen = 0;

private:
    HidBus& m_bus;
    DeviceOutcome m_failure;
    HidInterface m_lastInterface;  // the interface GetHidDevicePath tried last
    int m_lastOpenError = 0;       // and the OS error of its open
    ToolData& m_data;
    DataExchange& m_exchange;
};
