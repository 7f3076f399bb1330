#include "operations/ModeSwitch.h"
#include "platform/Clock.h"
#include "platform/HidBus.h"
#include "serial/SerialTransport.h"

int ModeSwitch::toHid(SerialTransport& transport, Clock& clock)
{
    const int written = transport.WriteComByte(CMD_TO_HID);
    if (written < 0)
        return written;
    clock.sleepMs(SWITCH_WAIT_MS);
    return written;
}

DeviceOutcome ModeSwitch::toCom(HidDevice& device, Clock& clock)
{
    const std::uint8_t report[2] = {REPORT_ID, CMD_TO_COM};
    if (!device.setFeature(report, sizeof report))
        return HidFailure(DeviceOutcome::Step::SetFeature, device.path(), device.lastError());
    clock.sleepMs(SWITCH_WAIT_MS);
    return {};
}

ModeSwitch::PortResult ModeSwitch::SwitchToHid(SerialTransport& transport, Clock& clock, const QString& portName)
{
    PortResult result;
    result.opened = transport.OpenComPort(portName) == 0;
    if (result.opened)
        result.sent = toHid(transport, clock) >= 0;
    result.failure = transport.failure();
    transport.CloseComPort();
    return result;
}
