#include "serial/DeviceHolders.h"
#include <QFile>
#include <QStringList>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
bool AllDigits(const char* s)
{
    if (!*s)
        return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s)))
            return false;
    return true;
}

QString CommandName(int pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLocal8Bit(f.readAll()).trimmed();
}
} // namespace

std::vector<DeviceHolder> FindDeviceHolders(dev_t rdev)
{
    std::vector<DeviceHolder> out;
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return out;
    while (dirent* p = ::readdir(proc)) {
        if (!AllDigits(p->d_name))
            continue;
        const int pid = std::atoi(p->d_name);
        if (pid == self)
            continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds)
            continue;  // gone meanwhile, or not ours to look into
        while (dirent* f = ::readdir(fds)) {
            if (!AllDigits(f->d_name))
                continue;
            struct stat st {};
            if (::stat((fdDir + "/" + f->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev) {
                out.push_back({pid, CommandName(pid)});
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return out;
}

QString DescribeHolders(const std::vector<DeviceHolder>& holders)
{
    QStringList parts;
    for (const DeviceHolder& h : holders)
        parts << QStringLiteral("%1 (pid %2)").arg(h.name).arg(h.pid);
    return parts.join(QStringLiteral(", "));
}

bool IsTtyDevice(dev_t rdev)
{
    // Lines such as "acm  /dev/ttyACM  166 0-255 serial": name, node prefix,
    // major, minor range, type.
    QFile f(QStringLiteral("/proc/tty/drivers"));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    const unsigned major = ::major(rdev), minor = ::minor(rdev);
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() < 4 || cols[2].toUInt() != major)
            continue;
        const QList<QByteArray> range = cols[3].split('-');
        const unsigned lo = range[0].toUInt();
        const unsigned hi = range.size() > 1 ? range[1].toUInt() : lo;
        if (minor >= lo && minor <= hi)
            return true;
    }
    return false;
}
