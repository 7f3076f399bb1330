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

void ModeCommand::pumpAndParse(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                               std::int64_t firstByteMs, const ReportSink& report)
{
    transport.PumpComReceive();
    const std::int64_t received = clock.nowMs();
    parser.ParseStatusReports(transport.ring(), received, [&](const StatusReport& r) {
        if (report)
            report(r, received - firstByteMs);
    });
}

void ModeCommand::listenFor(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                            std::int64_t firstByteMs, const ReportSink& report, const Listen& listen)
{
    const int readBound = transport.readTimeoutMs();
    const std::int64_t start = clock.nowMs();
    for (;;) {
        const std::int64_t left = listen.forMs - (clock.nowMs() - start);
        if (left <= 0)
            break;
        transport.setReadTimeoutMs(static_cast<int>(std::min<std::int64_t>(readBound, left)));
        const int head = transport.ring().head();
        pumpAndParse(transport, parser, clock, firstByteMs, report);
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
                                          const ReportSink& report, const Listen& listen) const
{
    Result result;
    if (transport.OpenComPort(portName) == 0) {
        result.sent = true;
        const std::int64_t firstByteMs = clock.nowMs();
        for (const char* b = bytes; *b; ++b) {
            if (transport.WriteComByte(static_cast<unsigned char>(*b)) != 1) {
                result.sent = false;
                break;
            }
            clock.sleepMs(BYTE_PAUSE_MS);
        }
        if (result.sent && readsAnswer) {
            if (listen.forMs <= 0)
                pumpAndParse(transport, parser, clock, firstByteMs, report);
            else
                listenFor(transport, parser, clock, firstByteMs, report, listen);
        }
    }
    result.failure = transport.failure();
    transport.CloseComPort();
    return result;
}
