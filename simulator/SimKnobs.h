#pragma once
#include <array>
#include <cstdint>
#include <string>

// The simulated controller's settings, for tests and demos.
struct SimKnobs {
    enum class Mode { Hid, Com };

    // Identity in HID mode. The demo Config.ini names the same IDs.
    std::uint16_t vid = 0x2f5a;
    std::uint16_t pid = 0x0107;
    std::uint16_t version = 0x0213;

    Mode startMode = Mode::Com;
    bool startPresent = true;

    // Download answers. Records are counted from 1; -1 disables a knob.
    int wrongAnswerAtRecord = -1;  // answer "E..." instead of "P..." to this record
    int silentFromRecord = -1;     // no answer from this record on
    int unplugAtRecord = -1;       // leave the bus when this record arrives
    // Take no data from this record on (1: from the first byte the tool
    // writes): the serial line stops, as a controller that hangs does.
    int stallFromRecord = -1;
    int answerDelayMs = 0;         // delay before each answer
    // The 4 answer bytes: to an accepted record, and at wrongAnswerAtRecord.
    std::array<char, 4> answer = {'P', 'a', 's', 's'};
    std::array<char, 4> wrongAnswer = {'E', 'r', 'r', 'o'};

    // Mode switching: how long the controller is gone from the bus.
    int switchAbsentMs = 600;

    // HID feature reports fail with this OS error (errno); 0: they work.
    int setFeatureError = 0;
    int getFeatureError = 0;
    // Leave the bus in the middle of this feature report (sent or read back,
    // counted from 1), which then fails as on an unplugged device; -1 never.
    int unplugAtReport = -1;

    // Calibration: how long the read-back blocks, and the answer's byte 1.
    int calibrationMs = 1500;
    std::uint8_t calibrationResult = 0x02;

    // The six values of the "$" status lines the controller streams.
    std::array<int, 6> status = {1, -2, 30, 127, 0, 200};
    // How many of them each "$" line carries, from the first (0..6).
    int statusFields = 6;
    // How many status streams (one after each "n n" and each "d d") the
    // controller sends in all before it falls quiet; -1: no end.
    int statusStreams = -1;
    // "$" lines per second of a continuous status stream; 0: each stream is
    // one burst of lines (with position lines and noise) as above. Above 0,
    // each stream is "$" lines only, paced at this rate from the "n n" (or
    // "d d") until the tool closes the port, and their values follow slow
    // waves, each value its own band and period, so that a plot of them
    // shows six curves; status above is not used then.
    int statusRate = 0;
    // Command bytes ('n', 'd', 'z', '$') on which the controller hangs: it
    // takes that byte and no more data until it leaves the bus, so the
    // tool's next write finds no room.
    std::string stallOn = {};

    // The mode switch (counted from 1, both ways) after which the controller
    // leaves the bus and does not come back; -1: it always comes back.
    int lostAtSwitch = -1;
    // Opening the controller's HID interface fails with this OS error
    // (errno), as a node closed to the user does; 0: it opens.
    int hidOpenError = 0;

    // Where the controller sits on the USB bus and its serial number, as the
    // serial-port map and the HID bus report them.
    std::string usbPath = "1-1";
    std::string serialNumber = "MVX0001";
};
