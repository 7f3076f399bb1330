#pragma once
#include "platform/DeviceOutcome.h"

// The exit statuses of the commands, as --help and the README list them.
enum ExitStatus : int {
    EXIT_OK = 0,
    EXIT_REFUSED = 1,       // the controller refused or failed
    EXIT_USAGE = 2,         // usage error or bad image file
    EXIT_NO_CONTROLLER = 3, // none found, cannot open, or several and none picked
    EXIT_TIMED_OUT = 4,     // no answer, no data taken, not back after a switch
    EXIT_VANISHED = 5,      // gone during the operation
    EXIT_SIGINT = 130,
    EXIT_SIGTERM = 143,
};

// The status for a device failure: a device that could not be opened
// (absent, denied, busy, unusable, or refused at open or while being set up)
// 3; a bound that ran out 4; a device gone mid-operation 5; anything else 1.
inline int ExitStatusOf(const DeviceOutcome& failure)
{
    using Kind = DeviceOutcome::Kind;
    using Step = DeviceOutcome::Step;
    switch (failure.kind()) {
    case Kind::Ok:
        return EXIT_OK;
    case Kind::Absent:
    case Kind::Denied:
    case Kind::Busy:
    case Kind::Unusable:
        return EXIT_NO_CONTROLLER;
    case Kind::TimedOut:
        return EXIT_TIMED_OUT;
    case Kind::Gone:
        return EXIT_VANISHED;
    case Kind::Failed:
        break;
    }
    return failure.step() == Step::Open || failure.step() == Step::Configure ? EXIT_NO_CONTROLLER : EXIT_REFUSED;
}
