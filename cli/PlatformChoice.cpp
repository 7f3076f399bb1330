#include "cli/PlatformChoice.h"
#include "cli/CommandLine.h"
#include "platform/linux/LinuxPlatform.h"
#include "simulator/SimPlatform.h"

PlatformChoice::Kind PlatformChoice::KindOf(const Invocation& inv)
{
    switch (inv.simulate) {
    case Invocation::Simulate::No:
        break;
    case Invocation::Simulate::Com:
        return Kind::SimulatedCom;
    case Invocation::Simulate::Hid:
        return Kind::SimulatedHid;
    }
    return Kind::Hardware;
}

PlatformChoice::PlatformChoice() = default;
PlatformChoice::~PlatformChoice() = default;

bool PlatformChoice::choose(Kind kind, Clock& clock, Prompts& prompts, QString& error)
{
    m_sim.reset();
    m_linux.reset();
    if (kind == Kind::Hardware) {
        m_linux = std::make_unique<LinuxPlatform>(clock, prompts);
        return true;
    }
    // --simulate's mode for every controller, unless MORVAX_SIM gives one.
    SimKnobs defaults;
    defaults.startMode = kind == Kind::SimulatedHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
    std::vector<SimKnobs> controllers;
    QString why;
    if (!SimPlatform::ParseSettings(qEnvironmentVariable(SIM_SETTINGS), defaults, controllers, why)) {
        error = QStringLiteral("%1: %2").arg(QString::fromLatin1(SIM_SETTINGS), why);
        return false;
    }
    m_sim = std::make_unique<SimPlatform>(clock, prompts, controllers);
    return true;
}

Platform PlatformChoice::platform() const
{
    if (m_sim)
        return m_sim->platform();
    return m_linux ? m_linux->platform() : Platform{};
}
