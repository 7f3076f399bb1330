#pragma once
#include "operations/Calibration.h"
#include "operations/DownloadOutcome.h"
#include "platform/DeviceOutcome.h"

// The exit statuses of the commands, as --help and the README list them.
enum ExitStatus : int {
    EXIT_OK = 0,
    EXIT_REFUSED = 1,       // the controller refused or failed
    EXIT_USAGE = 2,         // usage error or bad image file
    EXIT_NO_CONTROLLER = 3, // none found, cannot open, or several and none picked
    EXIT_TIMED_OUT = 4,     // no answer, no data taken, not back after a switch
    EXIT_VANISHED = 5,      // gone during the operation
    EXIT_SOME_FAILED = 6,   // a station run: at least one slot failed
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

// The status for a HID exchange that failed: a device that went wrong while
// it is still on the bus (stillThere) refused (1) rather than vanished.
inline int HidExitStatus(const DeviceOutcome& failure, bool stillThere)
{
    if (failure.kind() == DeviceOutcome::Kind::Gone && stillThere)
        return EXIT_REFUSED;
    return failure.ok() ? EXIT_REFUSED : ExitStatusOf(failure);
}

// The status for how a download ended; failure is the transport's, and a
// stop counts as stopSignal's.
inline int ExitStatusOf(DownloadOutcome outcome, const DeviceOutcome& failure, int stopStatus = EXIT_SIGINT)
{
    switch (outcome) {
    case DownloadOutcome::Success:
        return EXIT_OK;
    case DownloadOutcome::Cancelled:
        return stopStatus;
    case DownloadOutcome::CannotOpenFile:
    case DownloadOutcome::LineTooLong:
        return EXIT_USAGE;
    case DownloadOutcome::TooFewLines:
    case DownloadOutcome::WrongAnswer:
        return EXIT_REFUSED;
    case DownloadOutcome::PortFailed:
    case DownloadOutcome::NoAnswer:
        break;
    }
    return failure.ok() ? EXIT_REFUSED : ExitStatusOf(failure);
}

// The status for how a calibration ended; stillThere as for HidExitStatus.
inline int ExitStatusOf(Calibration::Outcome outcome, const DeviceOutcome& failure, bool stillThere)
{
    switch (outcome) {
    case Calibration::Outcome::Succeeded:
        return EXIT_OK;
    case Calibration::Outcome::TimedOut:
    case Calibration::Outcome::ReadFailed:
        // The device failed rather than answered: its failure says how.
        return HidExitStatus(failure, stillThere);
    case Calibration::Outcome::WrongAnswer:
    case Calibration::Outcome::TooQuick:
        break;
    }
    return EXIT_REFUSED;
}
