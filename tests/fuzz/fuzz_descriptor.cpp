// The HID report-descriptor parser on any bytes.
//
// Properties:
// - on failure the lengths it was given are left as they were;
// - on success each length is 0 (no report of that kind) or 2 to 65535 (at
//   least one data byte, plus the report ID byte);
// - the same bytes give the same answer, and a descriptor cut short inside
//   its last item is refused.
#include "FuzzCheck.h"
#include "platform/ReportDescriptor.h"
#include <cstdint>
#include <vector>

namespace {
bool Same(const HidCaps& a, const HidCaps& b)
{
    return a.inputReportLength == b.inputReportLength && a.outputReportLength == b.outputReportLength &&
           a.featureReportLength == b.featureReportLength;
}

bool InRange(std::uint16_t length)
{
    return length == 0 || length >= 2;
}

// The size of the item that starts at data[i], or 0 when it runs past the end.
std::size_t ItemSize(const std::uint8_t* data, std::size_t size, std::size_t i)
{
    std::size_t n;
    if (data[i] == 0xFE)
        n = i + 1 < size ? 3 + std::size_t(data[i + 1]) : 3;
    else
        n = 1 + ((data[i] & 3) == 3 ? 4 : (data[i] & 3));
    return i + n <= size ? n : 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const HidCaps marked{0xA5A5, 0x5A5A, 0x1234};
    HidCaps caps = marked;
    const bool ok = ParseReportDescriptor(data, size, caps);
    if (!ok) {
        FUZZ_CHECK(Same(caps, marked));
    } else {
        FUZZ_CHECK(InRange(caps.inputReportLength));
        FUZZ_CHECK(InRange(caps.outputReportLength));
        FUZZ_CHECK(InRange(caps.featureReportLength));
    }
    HidCaps again = marked;
    FUZZ_CHECK(ParseReportDescriptor(data, size, again) == ok);
    FUZZ_CHECK(Same(again, caps));

    // Walk the items; a well-formed descriptor cut inside its last item fails.
    std::size_t i = 0, last = 0;
    while (i < size) {
        const std::size_t n = ItemSize(data, size, i);
        if (n == 0)
            break;
        last = i;
        i += n;
    }
    if (ok && size > 0) {
        FUZZ_CHECK(i == size);
        const std::size_t itemSize = size - last;
        if (itemSize > 1) {
            HidCaps cutShort = marked;
            FUZZ_CHECK(!ParseReportDescriptor(data, size - 1, cutShort));
            FUZZ_CHECK(Same(cutShort, marked));
        }
    }
    return 0;
}
