#pragma once
#include "platform/SerialPortMap.h"
#include <vector>

class SimController;

// The simulated serial-port map: a built-in serial port first, then the
// pseudo-terminal of each controller present in COM mode, in order, listed
// under the kernel's USB CDC-ACM driver name with its USB path and serial
// number, as a real controller would be.
class SimSerialPortMap : public SerialPortMap {
public:
    explicit SimSerialPortMap(const SimController& controller) : m_controllers{&controller} {}
    explicit SimSerialPortMap(std::vector<SimController*> controllers)
        : m_controllers(controllers.begin(), controllers.end())
    {
    }
    bool ports(std::vector<SerialPortEntry>& ports) const override;

private:
    std::vector<const SimController*> m_controllers;
};
