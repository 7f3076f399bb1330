#pragma once
#include <QColor>
#include <QFrame>
#include <QString>

// The small sunken frame under a mode command's radio button. It keeps what
// was last drawn into it (a text on a background, with a text colour) and
// paints that whenever it is painted, so a mark survives redraws. Before the
// first draw it shows only its frame on the window's background. Window's
// thread only.
class ModeSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ModeSwatch(QWidget* parent = nullptr);

    // Stores the look and repaints: the text centred horizontally on the
    // first line, on an opaque cell of colour background as wide as the text
    // and as high as a line, clipped to the inside of the frame.
    void draw(const QString& text, QColor background, QColor textColor);

    // The accessible name is label: marked ("d: marked") while a drawn text
    // shows (its colour differs from its background), label: not marked
    // otherwise.
    void setLabel(const QString& label);

    QString text() const { return m_text; }
    QColor background() const { return m_background; }
    QColor textColor() const { return m_textColor; }
    bool marked() const { return m_drawn; }
    // The area inside the frame, in widget coordinates.
    QRect insideRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    QColor m_background;
    QColor m_textColor;
    bool m_drawn = false;
    QString m_label;

    void updateAccessibleName();
};
