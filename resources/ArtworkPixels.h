#pragma once
#include <QImage>

// The tool's artwork as pixels. The pictures are drawn by the code in
// Artwork.cpp when the tool is built (morvax_render_artwork writes them into
// the generated ArtworkPixels.cpp), so that starting the tool costs no
// drawing, no extra fonts and no decoding.
namespace ArtworkPixels {

struct Picture {
    int width;
    int height;
    QImage::Format format;
    const QRgb* pixels;  // width * height, row by row; static data

    // An image over the static pixels (no copy; read only).
    QImage image() const
    {
        return QImage(reinterpret_cast<const uchar*>(pixels), width, height, width * 4, format);
    }
};

// The application icon at 16, 24, 32, 48, 64 and 128 pixels, in that order.
constexpr int APP_ICON_SIZES[] = {16, 24, 32, 48, 64, 128};
extern const Picture APP_ICON[6];
extern const Picture BULB_GREY;   // Artwork::Bulb(BULB_GREY_GLASS)
extern const Picture BULB_GREEN;  // Artwork::Bulb(BULB_GREEN_GLASS)
extern const Picture HAND;        // Artwork::Hand()
extern const Picture PANEL;       // Artwork::Panel()

}  // namespace ArtworkPixels
