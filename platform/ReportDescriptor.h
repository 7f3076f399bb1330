#pragma once
#include "platform/HidBus.h"
#include <cstddef>
#include <cstdint>

// Report lengths from a HID report descriptor, counted as the HID class
// counts them: for each kind (input, output, feature) the longest report in
// bytes (its bits rounded up) plus one byte for the report ID, which is
// counted also when the device numbers no reports; 0 when the device has no
// report of that kind.
//
// Reads short items (Report Size, Report Count, Report ID, Push and Pop;
// Input, Output, Feature, Collection and End Collection) and skips long
// items. Returns false, leaving caps untouched, when the descriptor is
// malformed: empty or without a collection, an item cut short, a report ID
// of 0, a Pop without a Push, collections that do not nest, or a report
// longer than 65534 bytes. Pure function, any thread.
bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, HidCaps& caps);
