#pragma once
#include "platform/DeviceWatcher.h"

class SimController;

// Passes the simulated controller's arrivals and removals on as device events.
class SimDeviceWatcher : public DeviceWatcher {
    Q_OBJECT
public:
    explicit SimDeviceWatcher(SimController& controller, QObject* parent = nullptr);
    bool start() override;
    void stop() override;
    QString errorText() const override { return {}; }

private:
    SimController& m_controller;
    bool m_running = false;
};
