#pragma once
#include "platform/DeviceWatcher.h"
#include <vector>

class SimController;

// Passes the simulated controllers' arrivals and removals on as device events.
class SimDeviceWatcher : public DeviceWatcher {
    Q_OBJECT
public:
    explicit SimDeviceWatcher(SimController& controller, QObject* parent = nullptr);
    explicit SimDeviceWatcher(const std::vector<SimController*>& controllers, QObject* parent = nullptr);
    bool start() override;
    void stop() override;
    QString errorText() const override { return {}; }

private:
    void watch(SimController& controller);

    bool m_running = false;
};
