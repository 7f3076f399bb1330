#include "cli/StationDevices.h"
#include <QThread>

StationDevices::StationDevices(const Platform& platform, const QString& vid, const QString& pid, QObject* parent)
    : QObject(parent), m_platform(platform), m_vid(vid), m_pid(pid)
{
}

template <class F>
auto StationDevices::onMain(F fn) -> decltype(fn())
{
    if (QThread::currentThread() == thread())
        return fn();
    decltype(fn()) result;
    QMetaObject::invokeMethod(this, [&] { result = fn(); }, Qt::BlockingQueuedConnection);
    return result;
}

std::vector<Controllers::ComPort> StationDevices::comPorts()
{
    return onMain([this] { return Controllers::ComPorts(*m_platform.portMap); });
}

std::vector<Controllers::HidController> StationDevices::hidControllers(bool versions)
{
    return onMain([this, versions] {
        if (m_vid.isEmpty() || m_pid.isEmpty())
            return std::vector<Controllers::HidController>();
        return Controllers::HidControllers(*m_platform.hidBus, m_vid, m_pid, versions);
    });
}

std::unique_ptr<HidDevice> StationDevices::openHid(const QString& path, int* error)
{
    return onMain([this, &path, error] { return m_platform.hidBus->open(path.toStdString(), error); });
}
