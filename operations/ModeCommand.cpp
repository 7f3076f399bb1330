#include "operations/ModeCommand.h"
#include "operations/StatusReportParser.h"
#include "platform/Clock.h"
#include "serial/SerialTransport.h"
#include <algorithm>

namespace {
const ModeCommand COMMANDS[ModeCommand::COUNT] = {
    {"nndd", true, "Please switch to COM mode!"},
    {"nn", true, "Please switch to COM mode!"},
    {"nnzz", false, "Please switch to COM mode!"},
    {"$", false, "Please switch to CDC mode!"},
};
} // namespace

const ModeCommand& ModeCommand::get(Id id) { return COMMANDS[id]; }

void ModeCommand::listenFor(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                            const std::function<void(const QString&)>& report, const Listen& listen)
{
    const int readBound = transport.readTimeoutMs();
    const std::int64_t start = clock.nowMs();
    for (;;) {
        const std::int64_t left = listen.forMs - (clock.nowMs() - start);
        if (left <= 0)
            break;
        transport.setReadTimeoutMs(static_cast<int>(std::min<std::int64_t>(readBound, left)));
        const int head = transport.ring().head();
        transport.PumpComReceive();
        parser.ParseStatusReports(transport.ring(), report);
        // A read that brought nothing: quiet, or the port failed.
        if (transport.ring().head() == head || !transport.failure().ok())
            break;
        if (listen.stop && listen.stop())
            break;
    }
    transport.setReadTimeoutMs(readBound);
}

ModeCommand::Result ModeCommand::exchange(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                                          const QString& portName,
                                          const std::function<void(const QString&)>& report,
                                          const Listen& listen) const
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
            if (listen.forMs <= 0) {
                transport.PumpComReceive();
                parser.ParseStatusReports(transport.ring(), report);
            } else {
                listenFor(transport, parser, clock, report, listen);
            }
        }
    }
    result.failure = transport.failure();
    transport.CloseComPort();
    return result;
}
