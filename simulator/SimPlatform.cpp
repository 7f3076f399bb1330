#include "simulator/SimPlatform.h"
#include <chrono>
#include <thread>

SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs)
    : m_clock(clock), m_prompts(prompts), m_controller(clock, knobs), m_portMap(m_controller),
      m_hidBus(m_controller), m_watcher(m_controller)
{
}

SimPlatform::~SimPlatform()
{
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
