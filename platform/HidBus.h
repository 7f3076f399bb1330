#pragma once
#include "platform/DeviceOutcome.h"
#include <cerrno>
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

// One present HID interface as the enumeration lists it, before anything
// opens it.
struct HidInterface {
    std::string path;             // what open() takes, such as /dev/hidraw3
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string usbPath;          // the USB device's place on the bus ("1-1.2"); empty when unknown
    std::string serial;           // the USB serial number; often empty
};

// One opened HID interface. Closing is destruction. The calls block; a device
// may be used from one thread at a time (the calibration read-back runs off
// the window's thread).
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // The path it was opened by, for messages.
    virtual std::string path() const { return {}; }
    // The OS error (errno) of the last call that failed; 0 when none failed
    // or the cause is unknown.
    virtual int lastError() const { return 0; }

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

// The present HID interfaces, by position counted from 0. Enumeration and
// opening run on the main thread only; a device opened there may then be used
// by one other thread at a time (see HidDevice).
class HidBus {
public:
    virtual ~HidBus() = default;

    // The present HID interfaces in the kernel's order (hidraw2 before
    // hidraw10), each once. False when the set cannot be obtained.
    virtual bool interfaces(std::vector<HidInterface>& out) = 0;

    // Opens an interface for reading and writing; null when it cannot be
    // opened (no permission, held exclusively, or gone since the
    // enumeration), with the OS error (errno) in *error when error is given.
    virtual std::unique_ptr<HidDevice> open(const std::string& path, int* error = nullptr) = 0;
};

// The outcome of a HID call on the device at path that failed with errno
// error. A feature report the device does not answer fails after the
// kernel's USB control timeout, which the reason names.
inline DeviceOutcome HidFailure(DeviceOutcome::Step step, const std::string& path, int error)
{
    const QString device = QString::fromStdString(path);
    if (error == 0)
        return DeviceOutcome(DeviceOutcome::Kind::Failed, step, device, QStringLiteral("the device refused it"));
    DeviceOutcome why = DeviceOutcome::FromErrno(step, device, error);
    if (error == ETIMEDOUT)
        why = DeviceOutcome(why.kind(), step, device, why.reason() + QStringLiteral(" (the kernel gives up after 5 s)"),
                            error);
    if (error == EACCES || error == EPERM)
        why = DeviceOutcome(why.kind(), step, device, why.reason(), error,
                            QStringLiteral("run `scripts/install-udev-rule.sh`"));
    return why;
}
