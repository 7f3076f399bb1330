// Runs one fuzz target without libFuzzer, as CTest does: every seed in a
// folder, then a fixed number of inputs made from the seeds by random
// mutations. The random generator starts from a fixed seed, so every run
// tries the same inputs and a failure can be repeated. A property that does
// not hold aborts; the input that did it is first written to
// crash-<target>-<n> in the working directory, which the libFuzzer build of
// the same target (scripts/fuzz.sh) takes as an argument to run it again.
//
// Usage: fuzz_<target> <seed-folder> [inputs] [longest input in bytes]
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
using Bytes = std::vector<std::uint8_t>;

// Tokens that mean something to one of the parsers: line ends and line
// starts of the status reports, INI punctuation and names, and HID report
// descriptor items (Collection, End Collection, Push, Pop, Report ID, Size,
// Count with 4 data bytes, Input, a long item).
const std::vector<std::string> TOKENS = {
    "\r", "\n", "\r\n", "$ ", "X", "Y", " ,", "-", "+", "127", "-128", "2147483647", "99999999999",
    "[", "]", "=", "\"", "'", " ", "\t", "[VID/PID]", "VID=", "PID=", "\xEF\xBB\xBF", std::string(1, '\0'),
    "\xA1\x01", "\xC0", "\xA4", "\xB4", "\x85\x01", "\x75\x08", "\x97\xFF\xFF\xFF\xFF", "\x81\x02", std::string("\xFE\x02\x00", 3),
};

// The input being run and where it goes should the target abort.
const Bytes* g_current = nullptr;
char g_crashFile[256] = {};

void OnAbort(int sig)
{
    if (g_current) {
        const int fd = ::open(g_crashFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            const ssize_t n = ::write(fd, g_current->data(), g_current->size());
            (void)n;
            ::close(fd);
            static const char note[] = "fuzz driver: the failing input is in ";
            (void)!::write(2, note, sizeof note - 1);
            (void)!::write(2, g_crashFile, std::strlen(g_crashFile));
            (void)!::write(2, "\n", 1);
        }
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

class Mutator {
public:
    Mutator(const std::vector<Bytes>& seeds, std::size_t longest) : m_seeds(seeds), m_longest(longest) {}

    Bytes next()
    {
        Bytes b = m_seeds.empty() ? Bytes() : m_seeds[pick(m_seeds.size())];
        const int steps = 1 + int(pick(4));
        for (int i = 0; i < steps; ++i)
            mutate(b);
        if (b.size() > m_longest)
            b.resize(m_longest);
        return b;
    }

private:
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : std::size_t(m_rng() % n); }

    void mutate(Bytes& b)
    {
        switch (pick(8)) {
        case 0:  // flip a bit
            if (!b.empty())
                b[pick(b.size())] ^= std::uint8_t(1u << pick(8));
            break;
        case 1:  // set a byte
            if (!b.empty())
                b[pick(b.size())] = std::uint8_t(m_rng());
            break;
        case 2: {  // insert a few random bytes
            const std::size_t at = pick(b.size() + 1), n = 1 + pick(8);
            for (std::size_t i = 0; i < n; ++i)
                b.insert(b.begin() + std::ptrdiff_t(at), std::uint8_t(m_rng()));
            break;
        }
        case 3:  // delete a run
            if (!b.empty()) {
                const std::size_t at = pick(b.size()), n = 1 + pick(std::min<std::size_t>(b.size() - at, 64));
                b.erase(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
            }
            break;
        case 4:  // repeat a run (long lines, deep nesting, ring wrap-around)
            if (!b.empty()) {
                const std::size_t at = pick(b.size()), n = 1 + pick(std::min<std::size_t>(b.size() - at, 512));
                const Bytes run(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
                const std::size_t times = 1 + pick(16);
                for (std::size_t i = 0; i < times && b.size() < m_longest; ++i)
                    b.insert(b.begin() + std::ptrdiff_t(at), run.begin(), run.end());
            }
            break;
        case 5: {  // insert a token
            const std::string& t = TOKENS[pick(TOKENS.size())];
            b.insert(b.begin() + std::ptrdiff_t(pick(b.size() + 1)), t.begin(), t.end());
            break;
        }
        case 6:  // splice with another seed
            if (!m_seeds.empty()) {
                const Bytes& other = m_seeds[pick(m_seeds.size())];
                const std::size_t keep = pick(b.size() + 1), from = pick(other.size() + 1);
                b.resize(keep);
                b.insert(b.end(), other.begin() + std::ptrdiff_t(from), other.end());
            }
            break;
        default:  // cut the end off
            b.resize(pick(b.size() + 1));
            break;
        }
    }

    const std::vector<Bytes>& m_seeds;
    std::size_t m_longest;
    std::mt19937_64 m_rng{0x6d6f72766178ull};  // fixed: every run tries the same inputs
};

void Run(const Bytes& input, const char* target, long index)
{
    std::snprintf(g_crashFile, sizeof g_crashFile, "crash-%s-%ld", target, index);
    g_current = &input;
    LLVMFuzzerTestOneInput(input.data(), input.size());
    g_current = nullptr;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <seed-folder> [inputs] [longest input in bytes]\n", argv[0]);
        return 2;
    }
    const long inputs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 10000;
    const std::size_t longest = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 4096;
    const std::string target = std::filesystem::path(argv[0]).filename().string();

    std::vector<std::filesystem::path> names(std::filesystem::directory_iterator(argv[1]), {});
    std::sort(names.begin(), names.end());  // every run takes the seeds in the same order
    std::vector<Bytes> seeds;
    for (const auto& name : names) {
        std::ifstream in(name, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "%s: no seeds in %s\n", target.c_str(), argv[1]);
        return 2;
    }

    std::signal(SIGABRT, OnAbort);
    std::signal(SIGSEGV, OnAbort);
    const auto start = std::chrono::steady_clock::now();
    long index = 0;
    std::size_t longestRun = 0;
    for (const Bytes& seed : seeds) {
        Run(seed, target.c_str(), index++);
        longestRun = std::max(longestRun, seed.size());
    }
    Mutator mutator(seeds, longest);
    for (long i = 0; i < inputs; ++i) {
        const Bytes input = mutator.next();
        Run(input, target.c_str(), index++);
        longestRun = std::max(longestRun, input.size());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu seeds and %ld mutated inputs (longest %zu bytes) in %.2f s, every property held\n",
                target.c_str(), seeds.size(), inputs, longestRun, seconds);
    return 0;
}
