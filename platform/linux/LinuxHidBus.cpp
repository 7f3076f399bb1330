#include "platform/linux/LinuxHidBus.h"
#include "platform/ReportDescriptor.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <hidapi.h>
#include <libudev.h>

#if !(HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0))
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
#if !(HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0))
// The descriptor through the hidraw node's ioctl. False when the node cannot
// be opened or the kernel refuses.
bool ReadDescriptorByIoctl(const std::string& path, std::vector<std::uint8_t>& out)
{
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = false;
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        hidraw_report_descriptor rd{};
        rd.size = static_cast<__u32>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &rd) == 0) {
            out.assign(rd.value, rd.value + rd.size);
            ok = true;
        }
    }
    ::close(fd);
    return ok;
}

// The descriptor from sysfs, for a /dev/hidrawN path. Needs no access to the
// node itself.
bool ReadDescriptorFromSysfs(const std::string& path, std::vector<std::uint8_t>& out)
{
    const std::string::size_type slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.rfind("hidraw", 0) != 0 || name.find("..") != std::string::npos)
        return false;
    const std::string file = "/sys/class/hidraw/" + name + "/device/report_descriptor";
    std::FILE* f = std::fopen(file.c_str(), "rbe");
    if (!f)
        return false;
    std::uint8_t buf[HID_MAX_DESCRIPTOR_SIZE];
    const std::size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    if (n == 0)
        return false;
    out.assign(buf, buf + n);
    return true;
}
#endif

class LinuxHidDevice : public HidDevice {
public:
    LinuxHidDevice(hid_device* dev, std::string path) : m_dev(dev), m_path(std::move(path)) {}
    ~LinuxHidDevice() override { hid_close(m_dev); }

    std::string path() const override { return m_path; }
    int lastError() const override { return m_error; }

    bool attributes(HidAttributes& out) override
    {
        const hid_device_info* info = hid_get_device_info(m_dev);
        if (!info)
            return false;
        out.vendorId = info->vendor_id;
        out.productId = info->product_id;
        out.versionNumber = info->release_number;
        return true;
    }
    bool caps(HidCaps& out) override
    {
        std::vector<std::uint8_t> descriptor;
        if (!readDescriptor(descriptor))
            return false;
        return ParseReportDescriptor(descriptor.data(), descriptor.size(), out);
    }
    // hidapi leaves the ioctl's errno in place when a report fails.
    bool setFeature(const std::uint8_t* data, std::size_t len) override
    {
        errno = 0;
        return done(hid_send_feature_report(m_dev, data, len) >= 0);
    }
    bool getFeature(std::uint8_t* data, std::size_t len) override
    {
        errno = 0;
        return done(hid_get_feature_report(m_dev, data, len) >= 0);
    }

private:
    bool readDescriptor(std::vector<std::uint8_t>& out)
    {
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
        std::vector<std::uint8_t> buf(HID_API_MAX_REPORT_DESCRIPTOR_SIZE);
        const int n = hid_get_report_descriptor(m_dev, buf.data(), buf.size());
        if (n <= 0)
            return false;
        buf.resize(static_cast<std::size_t>(n));
        out = std::move(buf);
        return true;
#else
        // This hidapi has no call for the descriptor: ask the hidraw node.
        return ReadDescriptorByIoctl(m_path, out) || ReadDescriptorFromSysfs(m_path, out);
#endif
    }

    bool done(bool ok)
    {
        m_error = ok ? 0 : errno;
        return ok;
    }

    hid_device* m_dev;
    std::string m_path;
    int m_error = 0;
};

std::string Narrow(const wchar_t* w)
{
    std::string out;
    for (; w && *w; ++w)
        out += (*w > 0 && *w < 0x80) ? static_cast<char>(*w) : '?';
    return out;
}

// The USB device a hidraw node belongs to, by its place on the bus ("1-1.2");
// empty for a node on another bus or one udev cannot tell.
std::string UsbPathOf(udev* u, const std::string& path)
{
    if (!u)
        return {};
    const std::string::size_type slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    udev_device* dev = udev_device_new_from_subsystem_sysname(u, "hidraw", name.c_str());
    if (!dev)
        return {};
    std::string out;
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device"))
        if (const char* sys = udev_device_get_sysname(usb))
            out = sys;
    udev_device_unref(dev);
    return out;
}
} // namespace

bool LinuxHidBus::PathLess(const std::string& a, const std::string& b)
{
    // The same stem compares by the number that ends it: hidraw2 before
    // hidraw10, as the kernel numbers them.
    auto split = [](const std::string& s) {
        std::string::size_type i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
            --i;
        return std::pair{s.substr(0, i), s.substr(i)};
    };
    const auto [stemA, numA] = split(a);
    const auto [stemB, numB] = split(b);
    if (stemA != stemB || numA.empty() || numB.empty())
        return a < b;
    const std::string::size_type za = numA.find_first_not_of('0'), zb = numB.find_first_not_of('0');
    const std::string na = za == std::string::npos ? "" : numA.substr(za);
    const std::string nb = zb == std::string::npos ? "" : numB.substr(zb);
    if (na.size() != nb.size())
        return na.size() < nb.size();
    return na != nb ? na < nb : a < b;
}

LinuxHidBus::LinuxHidBus() { m_initialised = hid_init() == 0; }

LinuxHidBus::~LinuxHidBus()
{
    if (m_initialised)
        hid_exit();
}

bool LinuxHidBus::interfaces(std::vector<HidInterface>& out)
{
    out.clear();
    if (!m_initialised)
        return false;
    // No devices and a failed enumeration both give an empty list here;
    // either way there is nothing to open.
    udev* u = udev_new();
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next) {
        if (!d->path)
            continue;
        // hidapi may list one node once per top-level collection, but a node
        // is one interface here.
        const std::string path = d->path;
        if (std::any_of(out.begin(), out.end(), [&](const HidInterface& i) { return i.path == path; }))
            continue;
        out.push_back({path, d->vendor_id, d->product_id, UsbPathOf(u, path), Narrow(d->serial_number)});
    }
    hid_free_enumeration(list);
    if (u)
        udev_unref(u);
    std::sort(out.begin(), out.end(), [](const HidInterface& a, const HidInterface& b) { return PathLess(a.path, b.path); });
    return true;
}

std::unique_ptr<HidDevice> LinuxHidBus::open(const std::string& path, int* error)
{
    if (error)
        *error = 0;
    if (!m_initialised)
        return nullptr;
    // hidapi leaves the failed open's errno in place.
    errno = 0;
    hid_device* dev = hid_open_path(path.c_str());
    if (!dev) {
        if (error)
            *error = errno ? errno : EIO;
        return nullptr;
    }
    return std::make_unique<LinuxHidDevice>(dev, path);
}
