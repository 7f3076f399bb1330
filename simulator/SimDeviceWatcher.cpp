#include "simulator/SimDeviceWatcher.h"
#include "simulator/SimController.h"

SimDeviceWatcher::SimDeviceWatcher(SimController& controller, QObject* parent)
    : DeviceWatcher(parent), m_controller(controller)
{
    connect(&m_controller, &SimController::arrived, this, [this](const QString& s) {
        if (m_running)
            emit deviceArrived(s);
    });
    connect(&m_controller, &SimController::removed, this, [this](const QString& s) {
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
