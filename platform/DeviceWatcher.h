#pragma once
#include <QObject>
#include <QString>

// Device arrival and removal events. An implementation emits deviceArrived or
// deviceRemoved once for each event it sees, on the thread that created it
// (the window's thread). One plug or unplug may give several events.
class DeviceWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DeviceWatcher() override = default;

    // Starts watching. Returns false with errorText() set when events cannot
    // be had on this system; the tool then runs without them.
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual QString errorText() const = 0;

signals:
    // subsystem: the kind of device ("usb", "hidraw", "tty", ...), for logs.
    void deviceArrived(const QString& subsystem);
    void deviceRemoved(const QString& subsystem);
};
