#include "simulator/SimPlatform.h"
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 'u';
    (void)!::write(g_signalPipe[1], &c, 1);
}
} // namespace

SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs)
    : m_clock(clock), m_prompts(prompts), m_controller(clock, knobs), m_portMap(m_controller),
      m_hidBus(m_controller), m_watcher(m_controller)
{
}

SimPlatform::~SimPlatform()
{
    if (m_signalNotifier) {
        std::signal(SIGUSR1, SIG_DFL);
        delete m_signalNotifier;
    }
    m_controller.shutdown();
    for (int i = 0; i < 100 && m_hidBus.openControllerHandles() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

Platform SimPlatform::platform()
{
    Platform p;
    p.clock = &m_clock;
    p.prompts = &m_prompts;
    p.portMap = &m_portMap;
    p.hidBus = &m_hidBus;
    p.watcher = &m_watcher;
    return p;
}

void SimPlatform::removeOtherDeviceOnSignal()
{
    if (m_signalNotifier || (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0))
        return;
    m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_signalNotifier, &QSocketNotifier::activated, [this] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        m_controller.removeOtherDevice();
    });
    std::signal(SIGUSR1, OnSignal);
}
