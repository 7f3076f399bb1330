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
    SimKnobs knobs;
    int count = 1;
    QString why;
    if (!SimPlatform::ParseSettings(qEnvironmentVariable(SIM_SETTINGS), knobs, count, why)) {
        error = QStringLiteral("%1: %2").arg(QString::fromLatin1(SIM_SETTINGS), why);
        return false;
    }
    knobs.startMode = kind == Kind::SimulatedHid ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
    m_sim = std::make_unique<SimPlatform>(clock, prompts, knobs, count);
    return true;
}

Platform PlatformChoice::platform() const
{
    if (m_sim)
        return m_sim->platform();
    return m_linux ? m_linux->platform() : Platform{};
}
