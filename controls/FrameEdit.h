#pragma once
#include <QColor>
#include <QLineEdit>

// An edit box with a 1-unit frame in its own colour just outside its text
// area.
class CFrameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFrameEdit(QWidget* parent = nullptr);
    void SetFrameColor(QColor clr);
    QColor frameColor() const { return m_clrFrame; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_clrFrame;
};
