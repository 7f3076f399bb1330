#include "operations/ModeCommand.h"
#include "operations/StatusReportParser.h"
#include "platform/Clock.h"
#include "serial/SerialTransport.h"

namespace {
const ModeCommand COMMANDS[ModeCommand::COUNT] = {
    {"nndd", true, false, "Please switch to COM mode!", {"  d  ", "9dsdada", "adsdada", "adsdada"}},
    {"nn", true, true, "Please switch to COM mode!", {"9dsdada", "  n  ", "adsdada", "adsdada"}},
    {"nnzz", false, true, "Please switch to COM mode!", {"adsdada", "9dsdada", "  z  ", "adsdada"}},
    {"$", false, true, "Please switch to CDC mode!", {"adsdada", "9dsdada", "adsdada", "  $  "}},
};
} // namespace

const ModeCommand& ModeCommand::get(Id id) { return COMMANDS[id]; }

void ModeCommand::exchange(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                           const QString& portName, const std::function<void(const QString&)>& report) const
{
    transport.OpenComPort(portName);
    for (const char* b = bytes; *b; ++b) {
        transport.WriteComByte(static_cast<unsigned char>(*b));
        clock.sleepMs(BYTE_PAUSE_MS);
    }
    if (readsAnswer) {
        transport.PumpComReceive();
        parser.ParseStatusReports(transport, report);
    }
    transport.CloseComPort();
}
