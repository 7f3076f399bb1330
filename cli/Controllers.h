#pragma once
#include <QString>
#include <vector>

class HidBus;
struct HidInterface;
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

// A controller in HID mode: the HID interfaces with its VID and PID that
// belong to one USB device (one when the USB path is unknown).
struct HidController {
    QString path;     // its first interface, such as /dev/hidraw3
    QString usbPath;  // empty when unknown
    QString serial;   // empty when unknown
    QString version;  // "0x213"; empty when not read or the device cannot be opened
    QString error;    // why it cannot be opened, when it cannot
};

// The controllers with the IDs vid and pid (four hex digits each) on the
// bus, in its order. With versions, each is opened for its version.
std::vector<HidController> HidControllers(HidBus& bus, const QString& vid, const QString& pid,
                                          bool versions = false);

std::vector<HidController> Select(const std::vector<HidController>& controllers, const QString& usbPath,
                                  const QString& serial);

// True when interface belongs to controller.
bool BelongsTo(const HidInterface& interface, const HidController& controller);

QString Describe(const HidController& controller);

} // namespace Controllers
