#pragma once
#include "cli/Output.h"
#include "cli/SlotJob.h"
#include <QElapsedTimer>
#include <QString>
#include <map>
#include <vector>

// What a station run prints, on top of Output. With JSON, every event but
// the summary and the result carries the slot and its port (null while the
// slot has none): start, progress and log as a single command has them, one
// slotResult per slot (or per unit, watching), then the summary, then the
// result. Without: on a terminal one line per slot redrawn in place on
// stderr (slot, serial number, stage, bar, records, result), else a line per
// slot at every tenth and at its end; each slot's log lines on stderr
// prefixed by its slot; then a table on stdout and, when some failed, the
// command that runs just those again. Main thread only.
class StationOutput {
public:
    explicit StationOutput(Output& out);

    // A slot's event as SlotJob gives it ("start", "progress", "log",
    // "stage"); port is the slot's port now, empty while it has none.
    void event(const QString& slot, const QString& serial, const QString& port, const QString& name,
               const Output::Fields& fields);
    // A line about the run that belongs to no slot.
    void note(const QString& text);
    // A slot (a unit, watching) has ended. watching: one line on stdout now.
    void slotResult(const SlotResult& r, bool watching);
    // The end: the summary, the table (not watching) and the command that
    // runs the failed ones again (rerun, when some failed), then the result.
    int finish(const std::vector<SlotResult>& results, bool watching, const QString& rerun, int exit,
               const QString& message);

private:
    struct Line {
        QString serial, stage, result;
        int done = 0, total = 0;
        int tenth = 0;
    };
    void redraw(bool force);
    static QJsonValue PortValue(const QString& port);

    Output& m_out;
    std::vector<QString> m_order;  // slots in the order they first spoke
    std::map<QString, Line> m_lines;
    int m_drawn = 0;  // lines of the display on the terminal now
    QElapsedTimer m_sinceDraw;
};
