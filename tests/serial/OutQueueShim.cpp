// An LD_PRELOAD library that gives pseudo-terminals the output queue of a real
// serial line. The master side of a pty takes every byte at once, so TIOCOUTQ
// on the port always says 0 and a transport that no longer waits for its
// bytes to leave cannot be told from one that does. Preloaded, this keeps the
// bytes of each write on a port opened by name (/dev/pts/N) in the queue
// TIOCOUTQ reports for a hold after the write, as a UART's queue holds them
// while the line carries them:
//  - morvax_out_queue_hold(ms) sets the hold for later writes: 0 (the
//    default) none, the kernel answers alone; a negative hold keeps the bytes
//    queued for ever, as on a line whose far end never takes them;
//  - TIOCOUTQ answers the kernel's count plus the bytes of the writes whose
//    hold has not yet passed.
// Every other path, descriptor and request goes to the C library untouched.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <map>
#include <mutex>

namespace {
using Clock = std::chrono::steady_clock;

template <typename F>
F Next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

struct Queue {
    long bytes = 0;           // held back from the kernel's answer
    Clock::time_point until;  // when they have left; max(): never
};

std::atomic<int> g_holdMs{0};
std::mutex g_mutex;
std::map<int, Queue> g_ports;  // by descriptor: the ports opened by name
} // namespace

extern "C" {

void morvax_out_queue_hold(int ms) { g_holdMs = ms; }

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | __O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
    }
    static auto real = Next<int (*)(const char*, int, ...)>("open");
    const int fd = real(path, flags, mode);
    if (fd >= 0 && std::strncmp(path, "/dev/pts/", 9) == 0) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_ports[fd] = Queue{};
    }
    return fd;
}

ssize_t write(int fd, const void* buf, size_t count)
{
    static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    const ssize_t n = real(fd, buf, count);
    const int hold = g_holdMs;
    if (n <= 0 || hold == 0)
        return n;
    const int err = errno;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        const auto it = g_ports.find(fd);
        if (it != g_ports.end()) {
            Queue& q = it->second;
            const auto now = Clock::now();
            if (q.until <= now)
                q.bytes = 0;
            q.bytes += n;
            q.until = hold < 0 ? Clock::time_point::max() : now + std::chrono::milliseconds(hold);
        }
    }
    errno = err;
    return n;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    static auto real = Next<int (*)(int, unsigned long, ...)>("ioctl");
    const int r = real(fd, request, arg);
    if (r != 0 || request != TIOCOUTQ)
        return r;
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_ports.find(fd);
    if (it != g_ports.end() && it->second.until > Clock::now())
        *static_cast<int*>(arg) += static_cast<int>(it->second.bytes);
    return r;
}

int close(int fd)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_ports.erase(fd);
    }
    static auto real = Next<int (*)(int)>("close");
    return real(fd);
}

} // extern "C"
