// The status-report parser on any byte stream, cut into reads in any way.
//
// Input: one byte that picks how the stream is cut into reads, then the
// stream. Properties:
// - the reports are the "$" lines the line rules give (CR ends a line, LF and
//   NUL are dropped, a line starts only at "$", "X" or "Y", a line keeps its
//   first 799 characters), one report each, in order;
// - every report is "$ " and six fields of a sign, five digits and " ,";
// - a report carries the numbers its line gives, from the first up to the
//   first that is not one (at most six), each as its low 8 bits taken as
//   signed, shows them in its first fields, and is complete when there are
//   six; fields 2 to 5 do not depend on how the stream was cut into reads;
// - the parser's indexes stay in range and it reads exactly what arrived.
#include "FuzzCheck.h"
#include "operations/StatusReportParser.h"
#include "serial/ReceiveRing.h"
#include <QString>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr std::size_t RING = ReceiveRing::SIZE;

// The "$" lines of a stream by the line rules, each as the parser keeps it.
std::vector<std::string> DollarLines(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\r') {
            if (!line.empty() && line[0] == '$')
                lines.push_back(line);
            line.clear();
        } else if (c == '\n' || c == '\0') {
            continue;
        } else if (line.empty() && c != '$' && c != 'X' && c != 'Y') {
            continue;
        } else if (line.size() < std::size_t(StatusReportParser::LINE_CAP)) {
            line += c;
        }
    }
    return lines;
}

// The numbers a line gives ("$", then up to six integers separated by
// commas, blanks allowed around them), from the first up to the first that is
// not one; none (nullopt) when a number of more than nine digits comes first,
// whose value is not defined here.
std::optional<std::vector<int>> LeadingNumbers(const std::string& line)
{
    std::size_t i = 1;
    auto blanks = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\v' || line[i] == '\f'))
            ++i;
    };
    std::vector<int> values;
    for (int n = 0; n < 6; ++n) {
        blanks();
        if (n > 0) {
            if (i >= line.size() || line[i] != ',')
                return values;
            ++i;
            blanks();
        }
        bool negative = false;
        if (i < line.size() && (line[i] == '+' || line[i] == '-'))
            negative = line[i++] == '-';
        const std::size_t first = i;
        long long v = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i - first < 10)
            v = v * 10 + (line[i++] - '0');
        if (i == first)
            return values;
        if (i - first > 9)
            return std::nullopt;
        values.push_back(int(negative ? -v : v));
    }
    return values;
}

int Low8(int v) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(v & 0xFF)); }

// One field as a report shows it: the low 8 bits as a signed value.
std::string Field(int v)
{
    const int w = Low8(v);
    const int m = w < 0 ? -w : w;
    std::string digits = std::to_string(m);
    return std::string(1, w < 0 ? '-' : '+') + std::string(5 - digits.size(), '0') + digits + " ,";
}

bool WellFormed(const QString& report)
{
    // "$ " and six times: sign, five digits, " ,".
    if (report.size() != 2 + 6 * 8 || !report.startsWith(QLatin1String("$ ")))
        return false;
    for (int f = 0; f < 6; ++f) {
        const QString field = report.mid(2 + 8 * f, 8);
        if (field[0] != u'+' && field[0] != u'-')
            return false;
        for (int d = 1; d <= 5; ++d)
            if (!field[d].isDigit())
                return false;
        if (field.mid(6) != QLatin1String(" ,"))
            return false;
    }
    return true;
}

// Feeds the stream to a fresh parser in reads of the sizes cut() gives, the
// ring's head starting at slot 0 whatever earlier inputs left.
template <typename Cut>
std::vector<StatusReport> Parse(const std::uint8_t* data, std::size_t size, Cut cut)
{
    static const auto ring = std::make_unique<ReceiveRing>();
    static const std::vector<char> filler(RING, '\0');
    ring->append(filler.data(), int((RING - std::size_t(ring->head())) % RING));
    StatusReportParser parser;
    std::vector<StatusReport> reports;
    std::size_t done = 0;
    while (done < size) {
        // A read never brings more than the ring holds unread.
        const std::size_t n = std::min({cut(), size - done, RING - 1});
        ring->append(reinterpret_cast<const char*>(data + done), int(n));
        done += n;
        parser.ParseStatusReports(*ring, std::int64_t(done), [&](const StatusReport& r) {
            FUZZ_CHECK(r.receivedMs == std::int64_t(done));
            reports.push_back(r);
        });
        FUZZ_CHECK(parser.g_rxTail == ring->head());
        FUZZ_CHECK(parser.g_lineLen >= 0 && parser.g_lineLen <= StatusReportParser::LINE_CAP);
    }
    return reports;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned pattern = data[0];
    ++data;
    --size;

    const std::vector<std::string> lines = DollarLines(data, size);

    // All at once (as far as the ring allows), and in small reads of 1 to 16
    // bytes in a pattern the first byte picks.
    const std::vector<StatusReport> whole = Parse(data, size, [] { return RING - 1; });
    unsigned step = pattern;
    const std::vector<StatusReport> pieces = Parse(data, size, [&] {
        step = step * 1103515245u + 12345u;
        return std::size_t(1 + (step >> 16) % 16);
    });

    FUZZ_CHECK(whole.size() == lines.size());
    FUZZ_CHECK(pieces.size() == lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QString& text = whole[i].text;
        FUZZ_CHECK(WellFormed(text));
        FUZZ_CHECK(WellFormed(pieces[i].text));
        FUZZ_CHECK(text.mid(10, 32) == pieces[i].text.mid(10, 32));  // fields 2 to 5
        FUZZ_CHECK(whole[i].values == pieces[i].values);
        FUZZ_CHECK(whole[i].values.size() <= 6 && whole[i].complete == (whole[i].values.size() == 6));
        const auto numbers = LeadingNumbers(lines[i]);
        if (!numbers)
            continue;
        FUZZ_CHECK(whole[i].values.size() == numbers->size());
        std::string shown = "$ ";
        for (std::size_t f = 0; f < numbers->size(); ++f) {
            FUZZ_CHECK(whole[i].values[f] == Low8((*numbers)[f]));
            shown += Field((*numbers)[f]);
        }
        FUZZ_CHECK(text.startsWith(QString::fromLatin1(shown)));
        if (whole[i].complete)
            FUZZ_CHECK(pieces[i].text == text);
    }
    return 0;
}
