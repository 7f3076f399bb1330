#include "platform/LinuxHidBus.h"
#include <algorithm>
#include <hidapi.h>

namespace {
class LinuxHidDevice : public HidDevice {
public:
    explicit LinuxHidDevice(hid_device* dev) : m_dev(dev) {}
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
    bool caps(HidCaps&) override { return false; }  // IN PROGRESS (HID link issue)
    bool setFeature(const std::uint8_t* data, std::size_t len) override
    {
        return hid_send_feature_report(m_dev, data, len) >= 0;
    }
    bool getFeature(std::uint8_t* data, std::size_t len) override
    {
        return hid_get_feature_report(m_dev, data, len) >= 0;
    }

private:
    hid_device* m_dev;
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
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next)
        if (d->path)
            paths.emplace_back(d->path);
    hid_free_enumeration(list);
    std::sort(paths.begin(), paths.end());
    return true;
}

std::unique_ptr<HidDevice> LinuxHidBus::open(const std::string& path)
{
    if (!m_initialised)
        return nullptr;
    hid_device* dev = hid_open_path(path.c_str());
    if (!dev)
        return nullptr;
    return std::make_unique<LinuxHidDevice>(dev);
}
