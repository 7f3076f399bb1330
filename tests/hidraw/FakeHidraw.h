#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <sys/types.h>
#include <vector>

// One emulated USB HID device with its hidraw node.
struct FakeHidDevice {
    QString node;              // "hidraw2": /dev/hidraw2, minor 2
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::uint16_t version = 0; // bcdDevice
    QString name;              // HID_NAME
    std::vector<std::uint8_t> descriptor;  // report_descriptor
    mode_t mode = 0600;        // of the node, owned by root
    gid_t group = 0;
};

// A bench of emulated hidraw devices for LinuxHidBus under test, used by a
// process that runs in a private mount namespace with a tmpfs over /sys and
// HidrawShim preloaded (see tst_linuxhid.cpp):
//  - the sysfs tree libudev reads: usb_device -> usb_interface -> hid device
//    (uevent with HID_ID, HID_NAME, HID_UNIQ; report_descriptor) -> hidrawN,
//    linked from /sys/class/hidraw and /sys/dev/char;
//  - the files the shim serves /dev/hidrawN from, in dev(), with the node's
//    owner and mode, so that the kernel's permission check applies.
// Each device sits on a USB port of its own. Not thread-safe.
class FakeHidraw {
public:
    FakeHidraw();
    ~FakeHidraw();  // removes what it added to /sys

    bool ok() const { return m_ok; }
    QString dev() const { return m_dev.path(); }

    // Plugs the device in: its sysfs tree and its node. False on failure.
    bool add(const FakeHidDevice& d);
    // Unplugs it: the sysfs tree and the node go.
    void remove(const QString& node);
    // The bytes a feature-report read of report id answers with (the
    // report ID in byte 0).
    bool setFeatureAnswer(const QString& node, std::uint8_t id, const QByteArray& answer);
    // Makes feature exchanges of kind "set" or "get" fail with err (0: no longer).
    bool failFeature(const QString& node, const char* kind, int err);
    // What the shim recorded since the last call, one entry per line.
    QStringList takeLog();

private:
    QString deviceDir(const QString& node) const;

    QTemporaryDir m_dev;
    QStringList m_sysPaths;  // created under /sys, removed at the end
    int m_port = 0;
    bool m_ok = false;
};
