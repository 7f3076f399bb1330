#pragma once
#include <QGroupBox>

// A group box drawn as a classic one: a thin frame in the palette's mid
// colour whose top line runs through the middle of the caption, the caption
// on it a little in from the left. A frame only: it takes no clicks, so the
// controls it surrounds get them. Painted by itself rather than through a
// style sheet, which would give every frame a style object of its own.
// Window's thread only.
class GroupFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupFrame(const QString& title, QWidget* parent = nullptr);

    // The caption's box: the frame's top line is left out under it.
    QRect titleRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    // titleRect() measures the caption's text only when the caption or the
    // font has changed: a light repainting itself inside the frame repaints
    // the frame too, twice a second.
    mutable QString m_measuredTitle;
    mutable QFont m_measuredFont;
    mutable QRect m_titleRect;
};
