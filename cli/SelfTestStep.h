#pragma once
#include "cli/Output.h"
#include <QString>

// One step of the self-test as it ended. Plain value.
struct SelfTestStep {
    enum class Status { Pass, Fail, Skip };

    int number = 0;          // 1..10, in the order the steps run
    QString name;            // "found", "version", ..., "calibrate"
    Status status = Status::Skip;
    double seconds = 0;      // how long the step ran, real time
    Output::Fields values;   // what it measured, in order
    // Why it failed or was skipped: the failing operation's reason (its
    // message when it gave none); empty for a pass.
    QString reason;
    QString message;         // the failing operation's message, when it gave one
    // The exit status the step's own command would have given for the same
    // outcome (for a check of the self-test's own, that of its kind of
    // failure); 0 for a pass or a skip.
    int exit = 0;

    // "PASS", "FAIL", "SKIP": upper case, as the verdict has them.
    QString statusText() const
    {
        return status == Status::Pass ? QStringLiteral("PASS")
               : status == Status::Fail ? QStringLiteral("FAIL")
                                        : QStringLiteral("SKIP");
    }
};
