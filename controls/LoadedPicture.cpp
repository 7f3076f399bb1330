#include "controls/LoadedPicture.h"
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>
#include <cmath>
#include <cstdint>

namespace {
constexpr int HIMETRIC_PER_INCH = 2540;
constexpr double HIMETRIC_PER_METRE = 100000.0;
constexpr int DEFAULT_DPI = 96;

// Whether a JPEG file's start holds a JFIF header with a density unit (dots
// per inch or per centimetre). Qt's reader leaves its default resolution on
// the image when there is none, which would pass for a real one.
bool JfifHasDensity(const QByteArray& head)
{
    // FF D8, FF E0, length (2), "JFIF\0", version (2), units, X density (2), Y density (2)
    if (head.size() < 18)
        return false;
    const auto b = [&head](int i) { return static_cast<unsigned char>(head[i]); };
    if (b(0) != 0xFF || b(1) != 0xD8 || b(2) != 0xFF || b(3) != 0xE0 || head.mid(6, 5) != QByteArray("JFIF\0", 5))
        return false;
    const int units = b(13);
    const int xDensity = (b(14) << 8) | b(15);
    const int yDensity = (b(16) << 8) | b(17);
    return (units == 1 || units == 2) && xDensity > 0 && yDensity > 0;
}

int PixelsToHimetric(int pixels, int dotsPerMetre)
{
    return static_cast<int>(std::lround(pixels * HIMETRIC_PER_METRE / dotsPerMetre));
}
} // namespace

bool CLoadedPicture::Load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.peek(18);
    m_image = QImage();
    m_bHasResolution = false;
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();  // known before reading only
    QImage image;
    if (reader.read(&image)) {
        m_image = image;
        const bool jpeg = format == "jpeg" || format == "jpg";
        m_bHasResolution = image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0 && (!jpeg || JfifHasDensity(head));
    }
    return true;
}

QSize CLoadedPicture::GetHimetricSize() const
{
    if (m_image.isNull() || !m_bHasResolution)
        return QSize(0, 0);
    return QSize(PixelsToHimetric(m_image.width(), m_image.dotsPerMeterX()),
                 PixelsToHimetric(m_image.height(), m_image.dotsPerMeterY()));
}

QSize CLoadedPicture::GetImageSize(int dpiX, int dpiY) const
{
    if (m_image.isNull())
        return QSize(0, 0);
    if (!m_bHasResolution)
        return m_image.size();
    const QSize hm = GetHimetricSize();
    return QSize(HimetricToPixels(hm.width(), dpiX), HimetricToPixels(hm.height(), dpiY));
}

QSize CLoadedPicture::GetImageSize(const QPaintDevice* dc) const
{
    int dpiX = DEFAULT_DPI, dpiY = DEFAULT_DPI;
    if (dc) {
        dpiX = dc->logicalDpiX();
        dpiY = dc->logicalDpiY();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dpiX = static_cast<int>(std::lround(screen->logicalDotsPerInchX()));
        dpiY = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
    }
    return GetImageSize(dpiX, dpiY);
}

bool CLoadedPicture::Draw(QPainter& painter, const QRect& target) const
{
    if (m_image.isNull())
        return false;
    QRect r = target;
    if (r.isNull())
        r = QRect(QPoint(0, 0), GetImageSize(painter.device()));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(r, m_image);
    painter.restore();
    return true;
}

int CLoadedPicture::HimetricToPixels(int himetric, int dpi)
{
    const std::int64_t p = static_cast<std::int64_t>(himetric) * dpi;
    const std::int64_t half = HIMETRIC_PER_INCH / 2;
    return static_cast<int>(p >= 0 ? (p + half) / HIMETRIC_PER_INCH : (p - half) / HIMETRIC_PER_INCH);
}
