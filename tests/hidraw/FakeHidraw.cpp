#include "FakeHidraw.h"
#include "TestSupport.h"
#include <QDir>
#include <QFile>
#include <cerrno>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {
constexpr int HIDRAW_MAJOR = 240;
const QString USB_HOST = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1");
// Files the shim reads, as whichever user the test is at the time.
const QFile::Permissions READABLE(0x6644);

// A sysfs device folder: uevent, a subsystem link and attributes.
bool Device(const QString& dir, const QString& subsystem, const QByteArray& uevent,
            const QList<QPair<QString, QByteArray>>& attrs = {})
{
    if (!QDir().mkpath(dir) || !WriteFile(dir + QStringLiteral("/uevent"), uevent, READABLE))
        return false;
    if (!QDir().mkpath(subsystem) || !QFile::link(subsystem, dir + QStringLiteral("/subsystem")))
        return false;
    for (const auto& [name, value] : attrs)
        if (!WriteFile(dir + u'/' + name, value, READABLE))
            return false;
    return true;
}

QByteArray Hex4(std::uint16_t v)
{
    return QByteArray::number(v, 16).rightJustified(4, '0');
}
} // namespace

FakeHidraw::FakeHidraw()
{
    // Only ever on the private tmpfs over /sys, never on the real one.
    struct statfs fs {};
    if (::statfs("/sys", &fs) != 0 || fs.f_type != TMPFS_MAGIC)
        return;
    // The shim opens the nodes with the caller's rights: everyone may reach
    // the folder, the node files decide.
    m_ok = m_dev.isValid() && QFile::setPermissions(m_dev.path(), QFile::Permissions(0x7755)) &&
           WriteFile(m_dev.filePath(QStringLiteral("shim.log")), QByteArray(), QFile::Permissions(0x6666));
    for (const char* d : {"/sys/bus/usb", "/sys/bus/hid", "/sys/class/hidraw", "/sys/dev/char"})
        m_ok = m_ok && QDir().mkpath(QString::fromLatin1(d));
    qputenv("MORVAX_HIDRAW_DEV", QFile::encodeName(m_dev.path()));
}

FakeHidraw::~FakeHidraw()
{
    if (!m_ok)
        return;
    const QStringList nodes = m_sysPaths;
    for (const QString& n : nodes)
        remove(n);
    QDir(USB_HOST).removeRecursively();
}

QString FakeHidraw::deviceDir(const QString& node) const
{
    return QFile::symLinkTarget(QStringLiteral("/sys/class/hidraw/") + node);
}

bool FakeHidraw::add(const FakeHidDevice& d)
{
    const int minor = d.node.mid(6).toInt();
    const int port = ++m_port;
    const QByteArray vid = Hex4(d.vid), pid = Hex4(d.pid), bcd = Hex4(d.version);
    const QByteArray product = QByteArray::number(d.vid, 16) + '/' + QByteArray::number(d.pid, 16) + '/' +
                               QByteArray::number(d.version, 16);
    const QString usb = QStringLiteral("%1/1-%2").arg(USB_HOST).arg(port);
    const QString intf = QStringLiteral("%1/1-%2:1.0").arg(usb).arg(port);
    const QString hid = QStringLiteral("%1/0003:%2:%3.%4")
                            .arg(intf, QString::fromLatin1(vid.toUpper()), QString::fromLatin1(pid.toUpper()))
                            .arg(port, 4, 16, QChar(u'0'));
    const QString raw = hid + QStringLiteral("/hidraw/") + d.node;
    const QByteArray devnum = QByteArray::number(HIDRAW_MAJOR) + ':' + QByteArray::number(minor);
    const QByteArray portText = QByteArray::number(port);

    bool ok = Device(usb, QStringLiteral("/sys/bus/usb"),
                     "MAJOR=189\nMINOR=" + portText + "\nDEVNAME=bus/usb/001/" + portText.rightJustified(3, '0') +
                         "\nDEVTYPE=usb_device\nPRODUCT=" + product + "\nTYPE=0/0/0\nBUSNUM=001\nDEVNUM=" +
                         portText.rightJustified(3, '0') + "\n",
                     {{QStringLiteral("idVendor"), vid + '\n'},
                      {QStringLiteral("idProduct"), pid + '\n'},
                      {QStringLiteral("bcdDevice"), bcd + '\n'},
                      {QStringLiteral("manufacturer"), "Bench\n"},
                      {QStringLiteral("product"), d.name.toUtf8() + '\n'}});
    ok = ok && Device(intf, QStringLiteral("/sys/bus/usb"),
                      "DEVTYPE=usb_interface\nPRODUCT=" + product + "\nTYPE=0/0/0\nINTERFACE=3/0/0\n",
                      {{QStringLiteral("bInterfaceNumber"), "00\n"}});
    ok = ok && Device(hid, QStringLiteral("/sys/bus/hid"),
                      "DRIVER=hid-generic\nHID_ID=0003:0000" + vid.toUpper() + ":0000" + pid.toUpper() +
                          "\nHID_NAME=" + d.name.toUtf8() + "\nHID_PHYS=usb-0000:00:14.0-" + portText +
                          "/input0\nHID_UNIQ=\nMODALIAS=hid:b0003g0001v0000" + vid.toUpper() + "p0000" +
                          pid.toUpper() + "\n",
                      {{QStringLiteral("report_descriptor"),
                        QByteArray(reinterpret_cast<const char*>(d.descriptor.data()), qsizetype(d.descriptor.size()))}});
    ok = ok && Device(raw, QStringLiteral("/sys/class/hidraw"),
                      "MAJOR=" + QByteArray::number(HIDRAW_MAJOR) + "\nMINOR=" + QByteArray::number(minor) +
                          "\nDEVNAME=" + d.node.toUtf8() + "\n",
                      {{QStringLiteral("dev"), devnum + '\n'}});
    ok = ok && QFile::link(hid, raw + QStringLiteral("/device"));
    ok = ok && QFile::link(raw, QStringLiteral("/sys/class/hidraw/") + d.node);
    ok = ok && QFile::link(raw, QStringLiteral("/sys/dev/char/") + QString::fromLatin1(devnum));
    // The node: root's, with the device's mode and group.
    const QString nodeFile = m_dev.filePath(d.node);
    const QByteArray nodePath = QFile::encodeName(nodeFile);
    ok = ok && WriteFile(nodeFile, QByteArray()) && ::chmod(nodePath.constData(), d.mode) == 0;
    // In a user namespace that maps only this user the group cannot be set
    // (EINVAL); the node then stays this user's, and no test there switches
    // users.
    ok = ok && (::chown(nodePath.constData(), 0, d.group) == 0 || errno == EINVAL);
    m_sysPaths << d.node;
    return ok;
}

void FakeHidraw::remove(const QString& node)
{
    const QString raw = deviceDir(node);
    if (!raw.isEmpty()) {
        QFile::remove(QStringLiteral("/sys/dev/char/") + QString::number(HIDRAW_MAJOR) + u':' + node.mid(6));
        QFile::remove(QStringLiteral("/sys/class/hidraw/") + node);
        // The whole USB device goes, as when it is unplugged.
        QDir(raw.section(u'/', 0, 6)).removeRecursively();
    }
    QFile::remove(m_dev.filePath(node));
    m_sysPaths.removeAll(node);
}

bool FakeHidraw::setFeatureAnswer(const QString& node, std::uint8_t id, const QByteArray& answer)
{
    return WriteFile(m_dev.filePath(QStringLiteral("%1.feature-%2").arg(node).arg(id, 2, 16, QChar(u'0'))), answer, READABLE);
}

bool FakeHidraw::failFeature(const QString& node, const char* kind, int err)
{
    const QString file = m_dev.filePath(node + QStringLiteral(".errno-") + QLatin1String(kind));
    if (err == 0)
        return QFile::remove(file) || !QFile::exists(file);
    return WriteFile(file, QByteArray::number(err), READABLE);
}

QStringList FakeHidraw::takeLog()
{
    QFile f(m_dev.filePath(QStringLiteral("shim.log")));
    if (!f.open(QIODevice::ReadWrite))
        return {QStringLiteral("(no log)")};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    f.resize(0);
    return lines;
}
