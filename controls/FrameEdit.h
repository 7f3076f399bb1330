#pragma once
#include <QColor>
#include <QLineEdit>
#include <QRect>

// An edit box with a 1-pixel frame in its own colour around its text area
// (the area grown by 1 on each side); otherwise the normal edit look. No
// frame is drawn until a colour is set. Window's thread only.
class CFrameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFrameEdit(QWidget* parent = nullptr);
    // Stores the frame colour and repaints.
    void SetFrameColor(QColor clr);
    QColor frameColor() const { return m_clrFrame; }
    // The rectangle whose 1-pixel border is the frame, in widget coordinates.
    QRect frameRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_clrFrame;
};
