#pragma once
#include "platform/SerialPortMap.h"

class SimController;

// The simulated serial-port map: a built-in serial port first, then the
// controller's pseudo-terminal while it is present in COM mode, listed under
// the kernel's USB CDC-ACM driver name as a real controller would be.
class SimSerialPortMap : public SerialPortMap {
public:
    explicit SimSerialPortMap(const SimController& controller) : m_controller(controller) {}
    bool ports(std::vector<SerialPortEntry>& ports) const override;

private:
    const SimController& m_controller;
};
