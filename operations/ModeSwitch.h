#pragma once
#include "platform/DeviceOutcome.h"
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
};
