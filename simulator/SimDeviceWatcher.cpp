#include "simulator/SimDeviceWatcher.h"
#include "simulator/SimController.h"

SimDeviceWatcher::SimDeviceWatcher(SimController& controller, QObject* parent) : DeviceWatcher(parent)
{
    watch(controller);
}

SimDeviceWatcher::SimDeviceWatcher(const std::vector<SimController*>& controllers, QObject* parent)
    : DeviceWatcher(parent)
{
    for (SimController* c : controllers)
        watch(*c);
}

void SimDeviceWatcher::watch(SimController& controller)
{
    connect(&controller, &SimController::arrived, this, [this](const QString& s) {
        if (m_running)
            emit deviceArrived(s);
    });
    connect(&controller, &SimController::removed, this, [this](const QString& s) {
        if (m_running)
            emit deviceRemoved(s);
    });
}

bool SimDeviceWatcher::start()
{
    m_running = true;
    return true;
}

void SimDeviceWatcher::stop() { m_running = false; }
