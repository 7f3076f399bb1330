#pragma once
#include "controls/LoadedPicture.h"
#include <QString>
#include <QWidget>

// The start-up picture: a borderless top-level window of the picture's
// physical size on the screen, centred on the primary screen, showing the
// picture with an optional caption over its top-left corner.
//
// The owner creates it, calls ShowSplash, optionally DrawCaption, waits, then
// DestroyWindow and deletes it. Window's thread only.
class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    // Loads the picture from fileName (relative to the working directory).
    explicit CSplashWnd(const QString& fileName);
    ~CSplashWnd() override;

    // Shows the window and paints it at once. Returns false, showing
    // nothing, when the file could not be opened or the picture has no area
    // (a file that does not decode).
    bool ShowSplash();

    // Writes text at (0, 0) over the picture, with a transparent background,
    // in the window's default font and text colour, and repaints at once.
    // The text stays for later repaints. Does nothing when nothing was
    // loaded.
    void DrawCaption(const QString& text);

    // Closes the window; harmless when none was shown.
    void DestroyWindow();

    bool IsLoaded() const { return m_bLoaded; }
    // The picture's size in screen pixels; (0, 0) when nothing was loaded.
    QSize PictureSize() const { return QSize(m_nWidth, m_nHeight); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_nHeight = 0;
    int m_nWidth = 0;
    CLoadedPicture m_picture;
    bool m_bLoaded = false;  // the file was opened and read
    QString m_strCaption;
};
