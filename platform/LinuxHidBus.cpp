#include "platform/LinuxHidBus.h"
#include "platform/ReportDescriptor.h"
#include <algorithm>
#include <cstdio>
#include <hidapi.h>

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
    bool setFeature(const std::uint8_t* data, std::size_t len) override
    {
        return hid_send_feature_report(m_dev, data, len) >= 0;
    }
    bool getFeature(std::uint8_t* data, std::size_t len) override
    {
        return hid_get_feature_report(m_dev, data, len) >= 0;
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

    hid_device* m_dev;
    std::string m_path;
};
} // namespace

LinuxHidBus::LinuxHidBus() { m_initialised = hid_init() == 0; }

LinuxHidBus::~LinuxHidBus()
{
    if (m_initialised)
        hid_exit();
}

bool LinuxHidBus::interfaces(std::vector<std::string>& paths)
{
    paths.clear();
    if (!m_initialised)
        return false;
    // No devices and a failed enumeration both give an empty list here;
    // either way there is nothing to open.
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next)
        if (d->path)
            paths.emplace_back(d->path);
    hid_free_enumeration(list);
    // Sorted so that positions are stable; hidapi may list one node once per
    // top-level collection, but a node is one interface here.
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return true;
}

std::unique_ptr<HidDevice> LinuxHidBus::open(const std::string& path)
{
    if (!m_initialised)
        return nullptr;
    hid_device* dev = hid_open_path(path.c_str());
    if (!dev)
        return nullptr;
    return std::make_unique<LinuxHidDevice>(dev, path);
}
