#pragma once
#include "platform/SerialPortMap.h"

// The present serial ports from udev: tty devices that have a driver, in
// udev's enumeration order. The device name is the driver's name (cdc_acm for
// a USB CDC-ACM port, serial8250 for a built-in UART, ...), the port name the
// device node's name (ttyACM0).
class LinuxSerialPortMap : public SerialPortMap {
public:
    bool ports(std::vector<SerialPortEntry>& ports) const override;
};
