#pragma once
#include <QString>

// The serial rates the baud list offers and the settings string each one
// selects for the next open of the port. Every string asks for the framing
// LineSettings applies (8 data bits, no parity, 2 stop bits); they differ
// only in the rate, which each row also carries as a number, so nothing has
// to read it back out of the text.
class BaudTable {
public:
    struct Row {
        const char* entry;     // the list's text: "9600" .. "460800"
        const char* settings;  // "baud=9600 parity=N data=8 stop=2"
        int rate;              // bit/s
    };

    // Number of list entries.
    static constexpr int COUNT = 7;
    // Index of "460800" in the list, the rate the controller runs at.
    static constexpr int DEFAULT_INDEX = 6;

    // The list entries in list order; "" for an index outside the list.
    static const char* entry(int index);
    // The settings string for a list entry's text; the 460800 string for any
    // text that is not an entry (compared as text, exactly).
    static const char* settingsFor(const QString& entryText);
    // The settings string every run starts with.
    static const char* defaultSettings();
    // The row whose settings string is settings (compared as text), or
    // nullptr for any other string and for nullptr.
    static const Row* find(const char* settings);
};
