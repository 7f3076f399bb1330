#pragma once
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;
class QPaintDevice;

// A picture read from a file (JPEG, and whatever else Qt's image readers
// decode), with its physical size. Not a window; window's thread only.
//
// The physical size comes from the resolution the file carries (a JPEG's
// JFIF density, a PNG's pHYs, ...). A JPEG that carries none is taken at its
// size in pixels.
class CLoadedPicture {
public:
    // Reads and decodes the file.
    // Returns false when the file cannot be opened; the picture held stays
    // as it was. Returns true once the file was opened and read, whether it
    // decoded or not: a file that does not decode leaves no picture (IsNull).
    bool Load(const QString& path);

    bool IsNull() const { return m_image.isNull(); }

    // The physical size in HIMETRIC units (hundredths of a millimetre);
    // (0, 0) without a picture or when the file carries no resolution.
    QSize GetHimetricSize() const;

    // The size in device pixels on a device of dpiX by dpiY dots per inch:
    // HIMETRIC x dpi / 2540, to the nearest pixel. The size in pixels when
    // the file carries no resolution; (0, 0) without a picture.
    QSize GetImageSize(int dpiX, int dpiY) const;
    // The same on the device's logical resolution, or on the primary
    // screen's when dc is null (96 dpi when there is no screen).
    QSize GetImageSize(const QPaintDevice* dc = nullptr) const;

    // Paints the picture, upright, scaled into target (pixels). A null
    // target (QRect()) paints it at (0, 0) in its own size on the painter's
    // device. Returns false, painting nothing, without a picture.
    bool Draw(QPainter& painter, const QRect& target = QRect()) const;

    // value x dpi / 2540 rounded to the nearest whole number, halves away
    // from zero.
    static int HimetricToPixels(int himetric, int dpi);

private:
    QImage m_image;
    bool m_bHasResolution = false;
};
