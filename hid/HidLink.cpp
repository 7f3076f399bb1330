// Placeholder: the HID link is being built.
#include "hid/HidLink.h"
HidLink::HidLink(HidBus& bus, ToolData& data, DataExchange& exchange) : m_bus(bus), m_data(data), m_exchange(exchange) {}
HidLink::~HidLink() = default;
HidLink::PathResult HidLink::GetHidDevicePath(int, std::unique_ptr<HidDevice>&) { return PathResult::None; }
bool HidLink::IdentifyHidDevice(std::unique_ptr<HidDevice>& d) { d.reset(); return false; }
bool HidLink::OpenHidDevice() { return false; }
bool HidLink::CloseHidDevice(std::unique_ptr<HidDevice>& d) { d.reset(); return false; }
