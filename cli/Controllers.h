#pragma once
#include <QString>
#include <vector>

class SerialPortMap;

// The controllers the command line can pick from, and how it picks one.
namespace Controllers {

// A controller in COM mode: a serial port the port rule accepts.
struct ComPort {
    QString port;     // the name the transport opens (ttyACM0, or a path)
    QString usbPath;  // empty when unknown
    QString serial;   // empty when unknown
};

// The ports of the map the controller's rule accepts (among the first 100
// entries), in map order. Empty when the map cannot be read.
std::vector<ComPort> ComPorts(const SerialPortMap& map);

// Those of ports at usbPath and with serial number serial (an empty one
// matches every port).
std::vector<ComPort> Select(const std::vector<ComPort>& ports, const QString& usbPath, const QString& serial);

// What --port names, as the transport opens it: a link (such as
// /dev/serial/by-id/...) is followed to its device first, and a device
// directly in /dev is then given by its name ("ttyACM0"), so that the
// port-name length rule applies to the device, not the link. A name
// without '/' stays as it is; a path that does not exist stays as given.
QString ResolvePort(const QString& given);

// "ttyACM0 (usb 1-1.2, serial MVX0001)" for messages.
QString Describe(const ComPort& port);

} // namespace Controllers
