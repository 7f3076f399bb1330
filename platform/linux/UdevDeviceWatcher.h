#pragma once
#include "platform/DeviceWatcher.h"

struct udev;
struct udev_monitor;
class QSocketNotifier;

// Device events from a udev monitor on the subsystems that can carry the
// controller: USB devices, HID interfaces and serial ports. Where no
// udev daemon runs (containers, CI) the monitor listens to the kernel's own
// events instead. Emits on the window's thread through a QSocketNotifier.
class UdevDeviceWatcher : public DeviceWatcher {
    Q_OBJECT
public:
    // source: "udev" for events after udev has processed them, "kernel" for
    // the kernel's uevents, or empty to choose by whether udevd runs.
    explicit UdevDeviceWatcher(QObject* parent = nullptr, const char* source = nullptr);
    ~UdevDeviceWatcher() override;

    bool start() override;
    void stop() override;
    QString errorText() const override { return m_error; }
    // The event source in use after start(): "udev" or "kernel".
    QString source() const { return m_source; }

    // The events heard, as the monitor's filter matches them: a device's
    // subsystem, and its device type unless devtype is null (any type).
    // Only what can be the controller: the USB device itself (not its
    // interfaces), its HID interface, and its serial port (tty, so that the
    // port's arrival is seen once its node exists). Disks and network
    // adapters come and go on a bench PC all the time (sticks, containers,
    // VPNs) and say nothing about the controller.
    struct Filter {
        const char* subsystem;
        const char* devtype;
    };
    static constexpr Filter FILTERS[] = {
        {"usb", "usb_device"},
        {"hidraw", nullptr},
        {"tty", nullptr},
    };

private:
    void onReadable();

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QString m_source;
    QString m_error;
};
