// An LD_PRELOAD library that serves /dev/hidraw* from files, so that hidapi's
// hidraw backend and LinuxHidBus can be run on a machine without HID devices.
//
// /dev/hidrawN is opened as $MORVAX_HIDRAW_DEV/hidrawN, a regular file, with
// the caller's flags: the kernel's permission check on that file (owner,
// group, mode) decides whether the open succeeds, and a missing file fails
// with ENOENT as an unplugged device does. On a descriptor opened that way:
//  - fstat reports a character device whose st_rdev comes from the fake
//    sysfs node /sys/class/hidraw/hidrawN/dev, as hidapi's device lookup
//    needs;
//  - the hidraw ioctls hidapi and LinuxHidBus use answer: the descriptor's
//    size and bytes from the sysfs node's device/report_descriptor; a
//    feature report sent is logged; a feature report read is answered with
//    the bytes of $MORVAX_HIDRAW_DEV/hidrawN.feature-RR (RR: the report ID
//    in two hex digits), EIO when there is none. A file hidrawN.errno-set
//    or hidrawN.errno-get holding a number makes that exchange fail with it.
// Opens, feature reports and answers are appended to
// $MORVAX_HIDRAW_DEV/shim.log, one line each ("hidraw2 set 02 40").
// Every other path and descriptor goes to the C library untouched.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

template <typename F>
F Next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

int RealOpen(const char* path, int flags, mode_t mode)
{
    static auto fn = Next<int (*)(const char*, int, ...)>("open");
    return fn(path, flags, mode);
}

struct Node {
    std::string name;  // "hidraw2"
    dev_t rdev = 0;
    std::vector<unsigned char> descriptor;
};

std::mutex g_mutex;
std::map<int, Node> g_nodes;  // by descriptor

std::string DevDir()
{
    const char* d = std::getenv("MORVAX_HIDRAW_DEV");
    return d ? d : "/nonexistent";
}

// A whole small file, or false.
bool ReadFile(const std::string& path, std::string& out)
{
    const int fd = RealOpen(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    out.clear();
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return n == 0;
}

void Log(const std::string& line)
{
    const std::string path = DevDir() + "/shim.log";
    const int fd = RealOpen(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    const std::string l = line + "\n";
    [[maybe_unused]] ssize_t n = ::write(fd, l.data(), l.size());
    ::close(fd);
}

std::string Hex(const unsigned char* p, std::size_t n)
{
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", p[i]);
        s += b;
    }
    return s;
}

// errno to fail an exchange with, from hidrawN.errno-KIND; 0 for none.
int InjectedErrno(const Node& n, const char* kind)
{
    std::string text;
    if (!ReadFile(DevDir() + "/" + n.name + ".errno-" + kind, text))
        return 0;
    return std::atoi(text.c_str());
}

// The node's identity from the fake sysfs tree.
void Describe(Node& n)
{
    const std::string sys = "/sys/class/hidraw/" + n.name;
    std::string text;
    unsigned maj = 0, min = 0;
    if (ReadFile(sys + "/dev", text) && std::sscanf(text.c_str(), "%u:%u", &maj, &min) == 2)
        n.rdev = makedev(maj, min);
    if (ReadFile(sys + "/device/report_descriptor", text))
        n.descriptor.assign(text.begin(), text.end());
}

int OpenNode(const char* path, int flags, mode_t mode)
{
    const std::string name = std::strrchr(path, '/') + 1;
    const int fd = RealOpen((DevDir() + "/" + name).c_str(), flags & ~O_CREAT, mode);
    if (fd < 0) {
        const int err = errno;
        Log(name + " open: " + std::strerror(err));
        errno = err;
        return -1;
    }
    Node n;
    n.name = name;
    Describe(n);
    Log(name + " open: ok");
    std::lock_guard<std::mutex> lock(g_mutex);
    g_nodes[fd] = n;
    return fd;
}

bool IsNodePath(const char* path)
{
    return path && std::strncmp(path, "/dev/hidraw", 11) == 0 && !std::strchr(path + 11, '/');
}

bool Lookup(int fd, Node& out)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_nodes.find(fd);
    if (it == g_nodes.end())
        return false;
    out = it->second;
    return true;
}

int Fail(int err)
{
    errno = err;
    return -1;
}

int NodeIoctl(const Node& n, unsigned long request, void* arg)
{
    const unsigned nr = _IOC_NR(request), size = _IOC_SIZE(request);
    auto* bytes = static_cast<unsigned char*>(arg);
    switch (nr) {
    case _IOC_NR(HIDIOCGRDESCSIZE):
        *static_cast<int*>(arg) = static_cast<int>(n.descriptor.size());
        return 0;
    case _IOC_NR(HIDIOCGRDESC): {
        auto* rd = static_cast<hidraw_report_descriptor*>(arg);
        if (rd->size > HID_MAX_DESCRIPTOR_SIZE)
            return Fail(EINVAL);
        const std::size_t len = std::min<std::size_t>(rd->size, n.descriptor.size());
        std::memcpy(rd->value, n.descriptor.data(), len);
        return 0;
    }
    case 0x06: {  // HIDIOCSFEATURE(len)
        Log(n.name + " set " + Hex(bytes, size));
        if (const int err = InjectedErrno(n, "set"))
            return Fail(err);
        return static_cast<int>(size);
    }
    case 0x07: {  // HIDIOCGFEATURE(len)
        if (size == 0)
            return Fail(EINVAL);
        char id[3];
        std::snprintf(id, sizeof id, "%02x", bytes[0]);
        if (const int err = InjectedErrno(n, "get")) {
            Log(n.name + " get " + id + ": " + std::strerror(err));
            return Fail(err);
        }
        std::string answer;
        if (!ReadFile(DevDir() + "/" + n.name + ".feature-" + id, answer)) {
            Log(n.name + " get " + id + ": no answer");
            return Fail(EIO);
        }
        const std::size_t len = std::min<std::size_t>(size, answer.size());
        std::memcpy(bytes, answer.data(), len);
        Log(n.name + " get " + id + " -> " + Hex(bytes, len));
        return static_cast<int>(len);
    }
    default:
        return Fail(EINVAL);
    }
}

void Present(const Node& n, struct stat* st)
{
    st->st_mode = S_IFCHR | (st->st_mode & 07777);
    st->st_rdev = n.rdev;
    st->st_size = 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | __O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = static_cast<mode_t>(va_arg(ap, int));
        va_end(ap);
    }
    return IsNodePath(path) ? OpenNode(path, flags, mode) : RealOpen(path, flags, mode);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    Node n;
    if (Lookup(fd, n)) {
        if (_IOC_TYPE(request) != 'H')
            return Fail(ENOTTY);
        return NodeIoctl(n, request, arg);
    }
    static auto real = Next<int (*)(int, unsigned long, ...)>("ioctl");
    return real(fd, request, arg);
}

int fstat(int fd, struct stat* st)
{
    static auto real = Next<int (*)(int, struct stat*)>("fstat");
    const int r = real(fd, st);
    Node n;
    if (r == 0 && Lookup(fd, n))
        Present(n, st);
    return r;
}

int close(int fd)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_nodes.erase(fd);
    }
    static auto real = Next<int (*)(int)>("close");
    return real(fd);
}

} // extern "C"
