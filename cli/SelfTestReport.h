#pragma once
#include "cli/SelfTestStep.h"
#include <QString>
#include <vector>

class Output;

// What the self-test prints and writes: a line (human text) or a step event
// (JSON) for each step as it ends, the verdict at the end, and the JUnit
// file. Main thread only.
//
// Human text, on stdout, the verdict last:
//    4 n           PASS   1.23 s  reports=23 incomplete=0
//   SELFTEST PASS 8/8 (41.3 s) ttyACM0 serial 0001
//   SELFTEST FAIL at 4 "n": ttyACM0: read: no status report within 5 s
//   SELFTEST STOPPED at 4
// JSON, on stdout: {"event":"step","step":4,"name":"n","status":"PASS",
// "seconds":...,"values":{...},"reason":...,"exit":...} for each step, then
// the result event, whose message is the verdict.
class SelfTestReport {
public:
    // How the run ended.
    struct Verdict {
        int exit = 0;          // the self-test's exit status
        int failedAt = 0;      // the step that failed; 0 none
        int stoppedAt = 0;     // the step a stop signal ended; 0 none
        double seconds = 0;    // the whole run, real time
        QString controller;    // "ttyACM0 serial 0001"
    };

    explicit SelfTestReport(Output& out) : m_out(out) {}

    // Prints one step as it ended.
    void step(const SelfTestStep& step);
    // Prints the verdict last; returns verdict.exit.
    int verdict(const std::vector<SelfTestStep>& steps, const Verdict& verdict);

    // The verdict line: PASS with the steps that passed of those that ran
    // (skipped ones counted in neither), FAIL at the step with its reason, or
    // STOPPED at the step.
    static QString VerdictText(const std::vector<SelfTestStep>& steps, const Verdict& verdict);
    // The values as a line shows them: "reports=23 incomplete=0".
    static QString ValuesText(const SelfTestStep& step);

    // Writes the steps to path as JUnit XML, one test case per step in step
    // order (failure for FAIL, skipped for SKIP). False with error when the
    // file cannot be written.
    static bool WriteJUnit(const QString& path, const std::vector<SelfTestStep>& steps, const Verdict& verdict,
                           QString& error);

private:
    Output& m_out;
};
