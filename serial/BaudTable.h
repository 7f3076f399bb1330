#pragma once
#include <QString>

// The serial rates the baud list offers and the settings string each one
// selects for the next open of the port. Every string asks for 8 data bits,
// no parity and 2 stop bits; they differ only in the rate.
class BaudTable {
public:
    // Number of list entries.
    static constexpr int COUNT = 7;
    // Index of "460800" in the list, the rate the controller runs at.
    static constexpr int DEFAULT_INDEX = 6;

    // The list entries in list order: "9600" .. "460800".
    static const char* entry(int index);
    // The settings string for a list entry's text; the 460800 string for any
    // text that is not an entry (compared as text, exactly).
    static const char* settingsFor(const QString& entryText);
    // The settings string every run starts with.
    static const char* defaultSettings();
    // The rate a settings string names ("baud=38400 ..." gives 38400), or 0
    // when it names none.
    static int rateOf(const char* settings);
};
