#pragma once
#include "platform/DeviceOutcome.h"
#include <QString>
#include <cstdint>

class Clock;
class HidDevice;
class SerialTransport;

// The two mode-switch commands. After either, the controller leaves the USB
// bus and comes back in the other mode; the tool waits SWITCH_WAIT_MS and
// learns of the return through the device events.
class ModeSwitch {
public:
    // COM mode -> HID mode: this one byte over the serial port.
    static constexpr std::uint8_t CMD_TO_HID = 0x26;
    // HID mode -> COM mode: feature report 2 with this command byte.
    static constexpr std::uint8_t REPORT_ID = 0x02;
    static constexpr std::uint8_t CMD_TO_COM = 0x40;
    // The wait after either command, in ms.
    static constexpr int SWITCH_WAIT_MS = 2000;

    // Window's thread. Writes 0x26 on the open port of transport and, when
    // the byte went out, waits SWITCH_WAIT_MS through clock. Returns
    // WriteComByte's result: 1 sent, -1 not sent (no wait then).
    static int toHid(SerialTransport& transport, Clock& clock);

    // Window's thread. Sends the report 0x02 0x40 to device (the open
    // controller) and, when it was taken, waits SWITCH_WAIT_MS through clock.
    // Returns why the report was not taken (no wait then); ok() when it was.
    static DeviceOutcome toCom(HidDevice& device, Clock& clock);

    // How a switch to HID mode over the serial port went.
    struct PortResult {
        bool opened = false;    // the port opened
        bool sent = false;      // the command left, and the wait after it was made
        DeviceOutcome failure;  // the first thing that went wrong; ok() when nothing did
    };
    // Window's thread. The whole switch to HID mode on the port named
    // portName: open, toHid, close. The port is closed on every path.
    static PortResult SwitchToHid(SerialTransport& transport, Clock& clock, const QString& portName);
};
