#pragma once
#include "controls/LedCtrl.h"
#include "resources/Resources.h"

// What the window shows of the mode the controller is taken to be in: the
// mode flag, the lamps on "Switch to HID" (and where on the button it
// stands), "Switch to COM" and "Calibrate", and the HID and COM lights. Each
// situation that sets the indication is one row below; KEEP leaves that part
// as it was. CToolDlg::ShowMode applies a row.
struct ModeIndication {
    static constexpr int KEEP = -1;

    int comMode;        // the mode flag: 1 COM mode, 0 not, or KEEP
    int toHidLamp;      // the lamp icon on "Switch to HID"
    int toHidIconTop;   // its distance from the button's top (SetIconTop)
    int toComLamp;      // the lamp icon on "Switch to COM"
    int calibrateLamp;  // the lamp icon on "Calibrate" (at -20), or KEEP
    int hidLight;       // LED_GREEN, LED_RED or KEEP
    int comLight;
};

namespace Indications {
constexpr int K = ModeIndication::KEEP;
// Start-up: the controller's serial port was found, or not.
constexpr ModeIndication PORT_AT_START{1, IDI_BULB_GREY, 0, IDI_BULB_GREEN, K, LED_RED, LED_GREEN};
constexpr ModeIndication NO_PORT_AT_START{K, IDI_BULB_GREEN, -20, IDI_BULB_GREY, K, LED_RED, LED_RED};
// A device arrived: the controller over HID, its serial port, or neither.
constexpr ModeIndication HID_ARRIVED{0, IDI_BULB_GREEN, 0, IDI_BULB_GREY, K, LED_GREEN, LED_RED};
constexpr ModeIndication PORT_ARRIVED{1, IDI_BULB_GREY, 0, IDI_BULB_GREEN, IDI_BULB_GREY, LED_RED, LED_GREEN};
constexpr ModeIndication NOTHING_ARRIVED{0, IDI_BULB_GREEN, 0, IDI_BULB_GREY, IDI_BULB_GREY, LED_RED, LED_RED};
// The controller is gone.
constexpr ModeIndication REMOVED{0, IDI_BULB_GREY, 0, IDI_BULB_GREY, IDI_BULB_GREY, LED_RED, LED_RED};
// The switch to HID mode was sent.
constexpr ModeIndication SWITCHED_TO_HID{0, IDI_BULB_GREEN, -20, IDI_BULB_GREY, K, LED_GREEN, LED_RED};
// Setting found the controller over HID.
constexpr ModeIndication SETTING_FOUND{K, IDI_BULB_GREEN, -20, IDI_BULB_GREY, K, LED_GREEN, K};
// After a flash download: the controller back over HID, or still in COM mode.
constexpr ModeIndication FLASHED_TO_HID{0, IDI_BULB_GREEN, 0, IDI_BULB_GREY, K, K, K};
constexpr ModeIndication FLASHED_IN_COM{1, IDI_BULB_GREY, 0, IDI_BULB_GREEN, K, K, K};
} // namespace Indications
