#pragma once
#include "operations/StatusReport.h"
#include "platform/DeviceOutcome.h"
#include <QString>
#include <cstdint>
#include <functional>

class Clock;
class SerialTransport;
class StatusReportParser;

// The four serial mode commands "d", "n", "z" and "$": the bytes each sends
// and whether the controller's answer is read.
class ModeCommand {
public:
    enum Id { D, N, Z, Dollar };
    static constexpr int COUNT = 4;
    // Pause after each byte, in ms.
    static constexpr int BYTE_PAUSE_MS = 30;

    const char* bytes;           // sent one at a time, in order
    bool readsAnswer;            // pump once and parse the status reports
    const char* notInComMode;    // the message when the controller is not in COM mode

    static const ModeCommand& get(Id id);

    // Takes each status report, and the ms of the clock from the moment the
    // command's first byte was written to the return of the read that
    // brought the report's CR.
    using ReportSink = std::function<void(const StatusReport& report, std::int64_t sinceFirstByteMs)>;

    // How an exchange went.
    struct Result {
        bool sent = false;      // the port opened and every byte left
        DeviceOutcome failure;  // the first thing that went wrong; ok() when nothing did
    };

    // How long to go on reading the answer. The window takes one read; the
    // command line reads on until the line is quiet.
    struct Listen {
        // 0: one read of up to 1024 bytes. Above 0: reads until one read
        // brings nothing (the line was quiet for the transport's pump idle
        // time), or this many ms of the clock have passed, or stop() is true.
        int forMs = 0;
        std::function<bool()> stop;
    };

    // The whole exchange on the port named portName: open, each byte with a
    // pause after it, for "d" and "n" the read (as listen says) and the parse
    // (report gets each report, receivedMs in the clock's ms), close. A port that does not open
    // gets nothing; a byte that cannot be written ends the sending (the rest
    // would not be the command). A read that brings nothing is no failure:
    // the controller may have nothing to say.
    Result exchange(SerialTransport& transport, StatusReportParser& parser, Clock& clock, const QString& portName,
                    const ReportSink& report, const Listen& listen) const;
    // The same with one read, as the window takes it.
    Result exchange(SerialTransport& transport, StatusReportParser& parser, Clock& clock, const QString& portName,
                    const ReportSink& report) const
    {
        return exchange(transport, parser, clock, portName, report, Listen{});
    }

private:
    // One pump of the receive ring and the parse of what it brought.
    static void pumpAndParse(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                             std::int64_t firstByteMs, const ReportSink& report);
    static void listenFor(SerialTransport& transport, StatusReportParser& parser, Clock& clock,
                          std::int64_t firstByteMs, const ReportSink& report, const Listen& listen);
};
