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

ModeCommand::Result ModeCommand::exchange(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                                          const QString& portName,
                                          const std::function<void(const QString&)>& report) const
{
    Result result;
    if (transport.OpenComPort(portName) == 0) {
        result.sent = true;
        for (const char* b = bytes; *b; ++b) {
            if (transport.WriteComByte(static_cast<unsigned char>(*b)) != 1) {
                result.sent = false;
                break;
            }
            clock.sleepMs(BYTE_PAUSE_MS);
        }
        if (result.sent && readsAnswer) {
            transport.PumpComReceive();
            parser.ParseStatusReports(transport, report);
        }
    }
    result.failure = transport.failure();
    transport.CloseComPort();
    return result;
}
