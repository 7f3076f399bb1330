#pragma once

// How an image download ended. ImageDownload's record exchange and
// ImageTransfer's whole download (the file checked first, then read again
// while it is sent) report the same values; the window and the command line
// turn them into what their user sees.
enum class DownloadOutcome {
    Success,         // every record accepted, and at least as many as the kind needs
    CannotOpenFile,  // the image cannot be read: not at all, or no further during the send
                     // (it went or became unreadable after it was checked)
    LineTooLong,     // a line does not fit one record (during the send: the file changed
                     // after it was checked)
    PortFailed,      // the port did not open, or writing or reading failed (a controller
                     // that takes no data, device gone): the transport's failure() says why
    NoAnswer,        // a record got no full answer within the transport's read bound
    WrongAnswer,     // an answer's first byte was not 'P'
    TooFewLines,     // every record accepted, but fewer than the kind needs
    Cancelled,       // stopped between two records: those sent before went out and were accepted
};
