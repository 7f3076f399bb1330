#include "simulator/SimSerialPortMap.h"
#include "simulator/SimController.h"

bool SimSerialPortMap::ports(std::vector<SerialPortEntry>& ports) const
{
    ports.clear();
    ports.push_back({"serial8250", "ttyS0"});
    for (const SimController* c : m_controllers) {
        const QString port = c->portName();
        if (!port.isEmpty())
            ports.push_back({"cdc_acm", port.toStdString(), c->knobs().usbPath, c->knobs().serialNumber});
    }
    return true;
}
