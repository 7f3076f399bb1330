#include "simulator/SimPlatform.h"

SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs)
    : m_clock(clock), m_prompts(prompts), m_controller(clock, knobs), m_portMap(m_controller),
      m_hidBus(m_controller), m_watcher(m_controller)
{
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
