#pragma once
#include <QString>
#include <cstdint>

// The texts the HID link shows and compares: pure functions, no device.
namespace HidText {

// A vendor or product ID as four lower-case hexadecimal digits, zero-padded,
// without prefix (0x1A2 gives "01a2").
QString IdText(std::uint16_t id);

// A version number as "0x" and lower-case hexadecimal without leading zeros
// (0x0100 gives "0x100", 0 gives "0x0").
QString VersionText(std::uint16_t version);

// True when a and b are equal as whole strings, letters compared without
// regard to case (ASCII letters only; every other character must be equal).
bool EqualNoCase(const QString& a, const QString& b);

// The matching rule: the device is the wanted controller when its product ID
// text equals pidText and its vendor ID text equals vidText, each without
// regard to case. So the texts must hold exactly four hex digits.
bool IdsMatch(std::uint16_t vendorId, std::uint16_t productId, const QString& vidText, const QString& pidText);

} // namespace HidText
