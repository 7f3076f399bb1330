#pragma once
#include "platform/Platform.h"
#include <QString>
#include <memory>

struct Invocation;
class LinuxPlatform;
class SimPlatform;
struct SimKnobs;

// The one place that picks the device access a run uses: the real machine's
// (udev, hidapi) or the simulated controllers', whose knobs come from the
// environment variable MORVAX_SIM ("controllers=2,stallFromRecord=3", see
// SimPlatform::ParseSettings). The window and every command ask here. Main
// thread.
class PlatformChoice {
public:
    enum class Kind { Hardware, SimulatedCom, SimulatedHid };

    // The kind the words ask for (--simulate and its mode).
    static Kind KindOf(const Invocation& inv);

    PlatformChoice();
    ~PlatformChoice();

    // Sets up the platform of kind on clock and prompts. False, with error
    // naming what MORVAX_SIM holds that is not understood, when the
    // simulator cannot be set up so.
    bool choose(Kind kind, Clock& clock, Prompts& prompts, QString& error);

    Platform platform() const;
    // The simulated controllers, or null on the hardware.
    SimPlatform* simulator() const { return m_sim.get(); }

    static constexpr const char* SIM_SETTINGS = "MORVAX_SIM";

private:
    std::unique_ptr<LinuxPlatform> m_linux;
    std::unique_ptr<SimPlatform> m_sim;
};
