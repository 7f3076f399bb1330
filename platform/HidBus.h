#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Attributes of an opened HID device.
struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// Report lengths in bytes, counted as the HID class reports them: the report
// ID byte is included (a device without report IDs still counts one byte).
struct HidCaps {
    std::uint16_t inputReportLength = 0;
    std::uint16_t outputReportLength = 0;
    std::uint16_t featureReportLength = 0;
};

// One opened HID interface. Closing is destruction. The calls block; a device
// may be used from one thread at a time (the calibration read-back runs off
// the window's thread).
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // False when the attributes cannot be read.
    virtual bool attributes(HidAttributes& out) = 0;

    // False when the report descriptor cannot be read or parsed.
    virtual bool caps(HidCaps& out) = 0;

    // Sends a feature report; data[0] is the report ID. True on success.
    virtual bool setFeature(const std::uint8_t* data, std::size_t len) = 0;

    // Reads a feature report into data; data[0] names the report on entry and
    // the answer overwrites the buffer (report ID in byte 0). True on success.
    virtual bool getFeature(std::uint8_t* data, std::size_t len) = 0;
};

// The present HID interfaces, by position counted from 0.
class HidBus {
public:
    virtual ~HidBus() = default;

    // Paths of the present HID interfaces in a stable order. False when the
    // set cannot be obtained.
    virtual bool interfaces(std::vector<std::string>& paths) = 0;

    // Opens an interface for reading and writing; null when it cannot be
    // opened (held exclusively, or gone since the enumeration).
    virtual std::unique_ptr<HidDevice> open(const std::string& path) = 0;
};
