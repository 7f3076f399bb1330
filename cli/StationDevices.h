#pragma once
#include "cli/Controllers.h"
#include "platform/HidBus.h"
#include "platform/Platform.h"
#include <QObject>
#include <memory>
#include <string>
#include <vector>

// What a station's slot threads ask of the machine: the controllers attached
// and a HID device opened. Enumeration and opening run on the main thread
// (the one this object lives on), which keeps its event loop running while
// slots work; a call from a slot thread waits for the answer. A device opened
// so is then the asking thread's alone.
class StationDevices : public QObject {
    Q_OBJECT
public:
    // vid and pid: the controller's IDs as four hex digits.
    StationDevices(const Platform& platform, const QString& vid, const QString& pid, QObject* parent = nullptr);

    // The controllers in COM mode, and those in HID mode (with their
    // versions when asked).
    std::vector<Controllers::ComPort> comPorts();
    std::vector<Controllers::HidController> hidControllers(bool versions = false);
    // Opens the HID interface at path; null, with the OS error, when it
    // cannot be opened.
    std::unique_ptr<HidDevice> openHid(const QString& path, int* error);

private:
    // Runs fn on this object's thread and gives its result.
    template <class F>
    auto onMain(F fn) -> decltype(fn());

    Platform m_platform;
    QString m_vid, m_pid;
};
