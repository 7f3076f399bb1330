#pragma once
#include <string>
#include <vector>

// One present serial port, as the system's serial-port map lists it.
struct SerialPortEntry {
    std::string deviceName;  // the name the driver gave the port
    std::string portName;    // the name the transport opens, such as ttyACM0
    // Where the port's USB device sits ("1-1.2": bus 1, port 1, then port 2
    // of a hub) and its serial number; empty when the port is not on USB or
    // the system does not say. They tell two controllers apart.
    std::string usbPath = {};
    std::string serialNumber = {};
};

// The present serial ports in the platform's enumeration order. Enumeration
// runs on the main thread only.
class SerialPortMap {
public:
    virtual ~SerialPortMap() = default;

    // Fills ports with the present serial ports in enumeration order.
    // Returns false when the map cannot be read at all (no port then).
    virtual bool ports(std::vector<SerialPortEntry>& ports) const = 0;
};
