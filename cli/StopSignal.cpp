#include "cli/StopSignal.h"
#include <atomic>
#include <csignal>

namespace {
// Written by the handler, read by the main thread: lock-free, so the
// handler may touch it.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal)
{
    int none = 0;
    if (!g_stopSignal.compare_exchange_strong(none, signal)) {
        // Asked twice: stop now.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}
} // namespace

namespace StopSignal {
void Install()
{
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int Received() { return g_stopSignal.load(); }

int ExitStatus(int signal) { return 128 + signal; }
} // namespace StopSignal
