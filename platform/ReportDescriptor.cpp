#include "platform/ReportDescriptor.h"
#include <algorithm>
#include <map>
#include <vector>

namespace {
// Item types and tags of the short items that bear on report lengths.
constexpr int TYPE_MAIN = 0;
constexpr int TYPE_GLOBAL = 1;
constexpr int MAIN_INPUT = 0x8;
constexpr int MAIN_OUTPUT = 0x9;
constexpr int MAIN_COLLECTION = 0xA;
constexpr int MAIN_FEATURE = 0xB;
constexpr int MAIN_END_COLLECTION = 0xC;
constexpr int GLOBAL_REPORT_SIZE = 0x7;
constexpr int GLOBAL_REPORT_ID = 0x8;
constexpr int GLOBAL_REPORT_COUNT = 0x9;
constexpr int GLOBAL_PUSH = 0xA;
constexpr int GLOBAL_POP = 0xB;
constexpr std::uint8_t LONG_ITEM = 0xFE;

// A report's length in bytes, the ID byte included, must fit 16 bits.
constexpr std::uint64_t MAX_REPORT_BITS = 65534ull * 8;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;  // 0: the device numbers no reports
};

std::uint16_t LongestReport(const std::map<std::uint8_t, std::uint64_t>& bitsById)
{
    std::uint64_t longest = 0;
    bool any = false;
    for (const auto& [id, bits] : bitsById) {
        if (bits == 0)
            continue;
        any = true;
        longest = std::max(longest, (bits + 7) / 8);
    }
    return any ? static_cast<std::uint16_t>(longest + 1) : 0;
}
} // namespace

bool ParseReportDescriptor(const std::uint8_t* data, std::size_t size, HidCaps& caps)
{
    if (!data || size == 0)
        return false;
    Globals g;
    std::vector<Globals> stack;
    int depth = 0;
    bool sawCollection = false;
    std::map<std::uint8_t, std::uint64_t> bits[3];  // input, output, feature

    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = data[i];
        if (prefix == LONG_ITEM) {
            // 0xFE, data size, tag, data: skipped whole.
            if (i + 3 > size)
                return false;
            const std::size_t len = data[i + 1];
            if (i + 3 + len > size)
                return false;
            i += 3 + len;
            continue;
        }
        const std::size_t len = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + len > size)
            return false;
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < len; ++b)
            value |= std::uint32_t(data[i + 1 + b]) << (8 * b);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        i += 1 + len;

        if (type == TYPE_GLOBAL) {
            switch (tag) {
            case GLOBAL_REPORT_SIZE:
                g.reportSize = value;
                break;
            case GLOBAL_REPORT_COUNT:
                g.reportCount = value;
                break;
            case GLOBAL_REPORT_ID:
                if (value == 0 || value > 0xFF)
                    return false;
                g.reportId = static_cast<std::uint8_t>(value);
                break;
            case GLOBAL_PUSH:
                stack.push_back(g);
                break;
            case GLOBAL_POP:
                if (stack.empty())
                    return false;
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        } else if (type == TYPE_MAIN) {
            int kind = -1;
            switch (tag) {
            case MAIN_INPUT:
                kind = 0;
                break;
            case MAIN_OUTPUT:
                kind = 1;
                break;
            case MAIN_FEATURE:
                kind = 2;
                break;
            case MAIN_COLLECTION:
                ++depth;
                sawCollection = true;
                break;
            case MAIN_END_COLLECTION:
                if (--depth < 0)
                    return false;
                break;
            default:
                break;
            }
            if (kind >= 0) {
                const std::uint64_t itemBits = std::uint64_t(g.reportSize) * g.reportCount;
                std::uint64_t& sum = bits[kind][g.reportId];
                if (itemBits > MAX_REPORT_BITS || sum + itemBits > MAX_REPORT_BITS)
                    return false;
                sum += itemBits;
            }
        }
        // Local items and reserved types do not change report lengths.
    }
    if (!sawCollection || depth != 0)
        return false;
    caps.inputReportLength = LongestReport(bits[0]);
    caps.outputReportLength = LongestReport(bits[1]);
    caps.featureReportLength = LongestReport(bits[2]);
    return true;
}
