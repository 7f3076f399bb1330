#pragma once
#include <QColor>
#include <QFrame>
#include <QString>

// The small sunken frame under a mode command's radio button. It keeps what
// was last drawn into it (a text on a background, with a text colour) and
// paints that whenever it is painted, so a mark survives redraws.
class ModeSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ModeSwatch(QWidget* parent = nullptr);

    // Draws text centred at the top on an opaque cell of colour background.
    void draw(const QString& text, QColor background, QColor textColor);

    QString text() const { return m_text; }
    QColor background() const { return m_background; }
    bool marked() const { return m_drawn; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_text;
    QColor m_background;
    QColor m_textColor;
    bool m_drawn = false;
};
