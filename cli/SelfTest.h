#pragma once
#include "cli/CommandSession.h"
#include "cli/Outcome.h"
#include "cli/SelfTestStep.h"
#include <QString>
#include <functional>
#include <vector>

struct Invocation;
class Output;

// `morvax-tool selftest`: one controller checked in ten steps, each run
// through the command line's own operations (and recorded in the journal as
// its command would be):
//
//   1 found       the controller the pick names, exactly one
//   2 version     its version over HID (switched to HID first when in COM mode)
//   3 switch-com  the switch to COM mode and the time until it is back
//   4 n, 5 d      at least one status report, each with its six values
//   6 z-dollar    "z" and "$" sent
//   7 eeprom      the --eeprom image downloaded (else skipped)
//   8 flash       the --image downloaded, then the version over HID (after a
//                 switch when the controller stays in COM mode), which must
//                 be --expect-version when that is given (else skipped)
//   9 switch-hid  the switch to HID mode and the time until it is back; from
//                 HID mode, to COM mode and back, the way back timed
//  10 calibrate   calibration over HID
//
// The first step that fails ends the run: the later steps are skipped and
// nothing more is sent. Main thread only.
class SelfTest {
public:
    static constexpr int STEPS = 10;

    // session: the operations, on the platform chosen; out: where the steps
    // and the verdict go (the operations print only their progress, on
    // stderr in human text). Both must outlive the self-test.
    SelfTest(CommandSession& session, const Invocation& inv, Output& out);

    // Checks the names and paths (IDs, images, the JUnit file), runs the
    // steps, prints each as it ends and the verdict last, and writes the
    // JUnit file. Returns the exit status: 0 every step that ran passed; 1 a
    // step from 2 on failed; 3 step 1 failed; 2 a usage error, an image
    // whose name is wrong or that cannot be read, or a JUnit file that
    // cannot be written; 130 or 143 stopped by a signal.
    int run();

    // The steps as they ended, in order (all ten after run()).
    const std::vector<SelfTestStep>& steps() const { return m_steps; }
    // Called with each step as it ends, after it was printed.
    void setStepObserver(std::function<void(const SelfTestStep&)> observer) { m_observer = std::move(observer); }

    // The step names, 1..STEPS.
    static QString StepName(int number);

private:
    // The usage errors found before step 1; ok() when there is none.
    Outcome checkArguments();
    void runStep(SelfTestStep& step);
    void found(SelfTestStep& step);
    void version(SelfTestStep& step);
    void switchCom(SelfTestStep& step);
    void reports(SelfTestStep& step, ModeCommand::Id id);
    void zDollar(SelfTestStep& step);
    void download(SelfTestStep& step, ImageFile::Kind kind);
    void switchHid(SelfTestStep& step);
    void calibrate(SelfTestStep& step);

    // True, with step failed as outcome says, when outcome is not ok.
    static bool Failed(SelfTestStep& step, const Outcome& outcome);
    // The controller in HID mode: switched there when it is in COM mode
    // (switchedToHid and switchSeconds go into values). False, with step
    // failed, when the switch failed.
    bool toHid(SelfTestStep& step, Output::Fields& values);
    // Notes where a switch left the controller.
    void cameBack(CommandSession::Mode mode, const Outcome& outcome);
    // "ttyACM0 serial MVX0001": the controller as the verdict names it.
    QString controllerName() const;

    CommandSession& m_session;
    const Invocation& m_inv;
    Output& m_out;
    std::vector<SelfTestStep> m_steps;
    std::function<void(const SelfTestStep&)> m_observer;

    // What the steps learnt of the controller.
    CommandSession::Mode m_mode = CommandSession::Mode::Com;
    QString m_port;     // its serial port when last in COM mode
    QString m_hidPath;  // its HID interface when last seen in HID mode
    QString m_serial;
    // The images' checks before step 1: their number of records and SHA-256.
    struct Image {
        QString path;
        int records = 0;
        QString sha256;
    } m_flash, m_eeprom;
};
