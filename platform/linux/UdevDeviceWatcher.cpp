#include "platform/linux/UdevDeviceWatcher.h"
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstring>
#include <libudev.h>

namespace {
constexpr int RECEIVE_BUFFER_BYTES = 1024 * 1024;

bool udevDaemonRuns()
{
    // udevd creates its control socket here while it runs.
    return QFileInfo::exists(QStringLiteral("/run/udev/control"));
}
} // namespace

UdevDeviceWatcher::UdevDeviceWatcher(QObject* parent, const char* source)
    : DeviceWatcher(parent), m_source(source ? QString::fromLatin1(source) : QString())
{
}

UdevDeviceWatcher::~UdevDeviceWatcher() { stop(); }

bool UdevDeviceWatcher::start()
{
    stop();
    if (m_source.isEmpty())
        m_source = udevDaemonRuns() ? QStringLiteral("udev") : QStringLiteral("kernel");
    m_udev = udev_new();
    if (!m_udev) {
        m_error = QStringLiteral("udev is not available");
        return false;
    }
    const QByteArray name = m_source.toLatin1();
    m_monitor = udev_monitor_new_from_netlink(m_udev, name.constData());
    if (!m_monitor) {
        m_error = QStringLiteral("cannot open a %1 event monitor").arg(m_source);
        stop();
        return false;
    }
    for (const Filter& f : FILTERS) {
        if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, f.subsystem, f.devtype) < 0) {
            m_error = QStringLiteral("cannot filter device events");
            stop();
            return false;
        }
    }
    // A plug of a hub or a mode change sends bursts of events; a larger
    // buffer keeps them from being dropped while the window is busy. Failing
    // to enlarge it only makes a loss under a storm more likely.
    udev_monitor_set_receive_buffer_size(m_monitor, RECEIVE_BUFFER_BYTES);
    if (udev_monitor_enable_receiving(m_monitor) < 0) {
        m_error = QStringLiteral("cannot receive %1 device events").arg(m_source);
        stop();
        return false;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevDeviceWatcher::onReadable);
    m_error.clear();
    return true;
}

void UdevDeviceWatcher::stop()
{
    if (m_notifier) {
        // stop() may run inside a slot of this notifier's own signal (a
        // window closed by a device event), so it is deleted later; disabled
        // now, it no longer watches the descriptor closed below.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
    }
    m_notifier = nullptr;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev)
        udev_unref(m_udev);
    m_udev = nullptr;
}

void UdevDeviceWatcher::onReadable()
{
    // Drain every event that is ready; each gives one signal.
    while (m_monitor) {
        udev_device* dev = udev_monitor_receive_device(m_monitor);
        if (!dev)
            break;
        const char* action = udev_device_get_action(dev);
        const char* subsystem = udev_device_get_subsystem(dev);
        const QString sub = QString::fromLatin1(subsystem ? subsystem : "");
        if (action && std::strcmp(action, "add") == 0)
            emit deviceArrived(sub);
        else if (action && std::strcmp(action, "remove") == 0)
            emit deviceRemoved(sub);
        udev_device_unref(dev);
    }
}
