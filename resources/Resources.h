#pragma once
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <optional>

// The tool's artwork (drawn when the tool is built, see ArtworkPixels.h),
// made into pixmaps on first use and cached for the life of the application
// (the caches are emptied when the QGuiApplication goes away). Needs a
// QGuiApplication; GUI thread only.

// Resource numbers.
constexpr int IDR_MAINFRAME = 128;  // application icon
constexpr int IDI_BULB_GREY = 150;  // grey (unlit) lamp, 32x32
constexpr int IDI_BULB_GREEN = 151; // green (lit) lamp, 32x32
constexpr int IDC_HAND = 152;       // button cursor, 32x32, hot spot (5, 0)
constexpr int IDB_PANEL = 157;      // picture of the right-hand panel

// Colour of the lit lamp's glass (icon 151); the unlit lamp's glass is
// BULB_GREY_GLASS. Both fill the glass around the lamp's centre, BULB_GLASS_POINT.
constexpr QRgb BULB_GREEN_GLASS = 0xFF00FF00;
constexpr QRgb BULB_GREY_GLASS = 0xFF8C8C8C;
constexpr int BULB_GLASS_X = 16;
constexpr int BULB_GLASS_Y = 14;

// Icon by resource number; a null icon for an unknown number. Repeated calls
// return copies of one icon (equal cacheKey()).
QIcon ToolIcon(int id);
// What an icon shows, in words for screen readers: "green lamp" for
// IDI_BULB_GREEN, "grey lamp" for IDI_BULB_GREY, "" for any other icon.
QString IconWords(const QIcon& icon);
// Cursor by resource number; nothing for an unknown number.
std::optional<QCursor> ToolCursor(int id);
// Bitmap by resource number; a null pixmap for an unknown number.
QPixmap ToolBitmap(int id);
// The three-line product text of the right-hand panel: name, version, date,
// separated by "\n".
QString ProductText();
