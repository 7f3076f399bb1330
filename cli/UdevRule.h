#pragma once
#include <QString>

// The udev rules that let a user without root reach the controller: the USB
// device and its hidraw nodes (HID mode) and the CDC-ACM serial ports of the
// same vendor (COM mode) are tagged for the seat's user (uaccess) and given
// to the plugdev group with mode 0660; ModemManager is told to leave those
// serial ports alone. A root script writes the text to
// /etc/udev/rules.d/UDEV_RULES_FILE_NAME, so the IDs are checked strictly.
// Pure functions, any thread.

// Sorts before 73-seat-late.rules, which turns the uaccess tag into access.
inline constexpr char UDEV_RULES_FILE_NAME[] = "70-morvax-tool.rules";

// An ID as the rules take it: exactly four hexadecimal digits, returned in
// lower case (udev compares attribute values case-sensitively and the kernel
// writes them in lower case). Returns "" and sets reason (one line naming
// the key) when the text is anything else.
QString UdevId(const QString& key, const QString& text, QString& reason);

// The rules file for the controller's VID and PID texts (as in Config.ini):
// the template dist/70-morvax-tool.rules.in, built into the program, with
// @VID@ and @PID@ filled in. Returns "" and sets reason (one line) when
// either ID is refused.
QString MakeUdevRules(const QString& vid, const QString& pid, QString& reason);
