#pragma once
#include <string>
#include <vector>

// One present serial port, as the system's serial-port map lists it.
struct SerialPortEntry {
    std::string deviceName;  // the name the driver gave the port
    std::string portName;    // the name the transport opens, such as ttyACM0
};

// The present serial ports in the platform's enumeration order.
class SerialPortMap {
public:
    virtual ~SerialPortMap() = default;

    // Fills ports with the present serial ports in enumeration order.
    // Returns false when the map cannot be read at all (no port then).
    virtual bool ports(std::vector<SerialPortEntry>& ports) const = 0;
};
