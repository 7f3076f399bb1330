#include "simulator/SimSerialPortMap.h"
#include "simulator/SimController.h"

bool SimSerialPortMap::ports(std::vector<SerialPortEntry>& ports) const
{
    ports.clear();
    ports.push_back({"serial8250", "ttyS0"});
    const QString port = m_controller.portName();
    if (!port.isEmpty())
        ports.push_back({"cdc_acm", port.toStdString()});
    return true;
}
