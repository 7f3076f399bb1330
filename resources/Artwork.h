#pragma once
#include <QImage>
#include <QPixmap>

// The drawing of each piece of artwork. Run when the tool is built, by
// morvax_render_artwork (see ArtworkPixels.h). Needs a QGuiApplication
// (fonts); GUI thread only.
namespace Artwork {

// The application icon at size x size pixels: a touch panel with a touch on it.
QPixmap AppIcon(int size);
// A 32x32 lamp: a round glass of colour glass on a screw base.
QPixmap Bulb(QRgb glass);
// The 32x32 two-colour pointing hand; its finger tip is at (5, 0).
QPixmap Hand();
// The right-hand panel picture, 190x260: a touch panel on the bench, wired
// to its controller board.
QPixmap Panel();

}  // namespace Artwork
