#pragma once
#include "platform/SerialPortMap.h"
#include <QString>
#include <string>
#include <vector>

// Which entry of the serial-port map is the controller in COM mode.
class SerialPortRule {
public:
    // Entries looked at: the first 100 of the map.
    static constexpr int MAX_ENTRIES = 100;
    // Longest device or port name a map entry may have (longer ones cannot
    // be read and are skipped).
    static constexpr std::size_t MAX_NAME = 299;

    // True for the device name of a USB serial port of the kind the
    // controller presents: a name holding "USBSER" (exact case, anywhere),
    // the USB serial driver's name on the original desktop platform, or the
    // Linux USB CDC-ACM driver's name, "cdc_acm".
    static bool IsControllerDevice(const std::string& deviceName);

    // True when the entry is one of the controller's ports: a device name
    // the rule accepts, and names short enough to be read.
    static bool Accepts(const SerialPortEntry& entry);

    // The port name of the first matching entry among the first 100, in map
    // order; empty when none matches.
    static QString FindPort(const std::vector<SerialPortEntry>& ports);
};
