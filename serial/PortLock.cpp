#include "serial/PortLock.h"
#include "serial/DeviceHolders.h"
#include <QFileInfo>
#include <QLockFile>
#include <cerrno>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace {
using Step = DeviceOutcome::Step;
using Kind = DeviceOutcome::Kind;

DeviceOutcome NotSerial(const QString& portName)
{
    return DeviceOutcome(Kind::Unusable, Step::Open, portName, QStringLiteral("not a serial port"));
}
} // namespace

// The lock file is the one QSerialPort takes, in the same place, so Qt
// programs and this tool keep out of each other's way.

PortLock::PortLock() = default;

PortLock::~PortLock() = default;

QString PortLock::LockFilePath(const QString& path)
{
    static const char* const DIRS[] = {"/var/lock",  "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                       "/tmp",       "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
    QString name = path.startsWith(QStringLiteral("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    for (const char* dir : DIRS) {
        const QString file = QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name;
        const QFileInfo info(QString::fromLatin1(dir));
        if (info.isReadable() && (QFileInfo::exists(file) || info.isWritable()))
            return file;
    }
    return {};
}

DeviceOutcome PortLock::claim(const QString& portName, const QString& path)
{
    // Who else has it, before anything touches the line: root passes
    // TIOCEXCL, so the holders are looked for directly.
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return DeviceOutcome::FromErrno(Step::Open, portName, errno);
    if (!S_ISCHR(st.st_mode) || !IsTtyDevice(st.st_rdev))
        return NotSerial(portName);
    if (const auto holders = FindDeviceHolders(st.st_rdev); !holders.empty())
        return DeviceOutcome(Kind::Busy, Step::Open, portName, QStringLiteral("held by ") + DescribeHolders(holders));
    const QString lockPath = LockFilePath(path);
    if (lockPath.isEmpty())
        return {};
    auto lock = std::make_unique<QLockFile>(lockPath);
    lock->setStaleLockTime(0);  // only a lock whose owner has died is taken over
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
    } else if (lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        const QString holder =
            lock->getLockInfo(&pid, &host, &app)
                ? QStringLiteral("locked by %1 (pid %2)").arg(app.isEmpty() ? QStringLiteral("?") : app).arg(pid)
                : QStringLiteral("locked by %1").arg(lockPath);
        return DeviceOutcome(Kind::Busy, Step::Open, portName, holder);
    }
    return {};
}

DeviceOutcome PortLock::exclude(int fd, const QString& portName) const
{
    if (::ioctl(fd, TIOCEXCL) == 0)
        return {};
    const int error = errno;
    return error == ENOTTY || error == EINVAL ? NotSerial(portName)
                                              : DeviceOutcome::FromErrno(Step::Open, portName, error);
}

void PortLock::release(int fd) const { ::ioctl(fd, TIOCNXCL); }

void PortLock::unlock() { m_lock.reset(); }
