#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <optional>

// A push button that draws itself entirely: background (captured parent
// background or button face), 3-D or flat frame, optional icon and caption,
// in four looks. Hover starts on a mouse move and ends when a 10 ms timer
// (HOVER_TIMER_ID) finds the cursor outside. Window's thread only.
class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum { HOVER_TIMER_ID = 1 };
    enum State { STATE_HOVER = 0, STATE_NORMAL = 1, STATE_RELEASED = 2, STATE_PRESSED = 3 };

    explicit CHoverButton(const QString& caption = {}, QWidget* parent = nullptr);
    ~CHoverButton() override;

    void SetIcon(const QIcon& normal, const QIcon& hover);  // no repaint
    void SetIconAlign(int align);                            // 0 left of caption, 1 above; repaints
    void SetIconTop(int top);                                // repaints
    void SetHoverColor(QColor c);                            // repaints
    void SetNormalColor(QColor c);                           // repaints
    void SetTransparent(bool b);                             // no repaint
    void SetFlat(bool b);                                    // no repaint
    // Loads cursor resource id (-1: none). True when loaded or -1 was given.
    bool SetBtnCursor(int id);

    int m_nState = STATE_NORMAL;

    // Read-only views for the owner and tests.
    QIcon normalIcon() const { return m_iconNormal; }
    QIcon hoverIcon() const { return m_iconHover; }
    bool hasIcon() const { return m_bHasIcon; }
    int iconTop() const { return m_nIconTop; }
    int iconAlign() const { return m_nIconAlign; }
    bool isFlat() const { return m_bFlat; }
    bool isTransparent() const { return m_bTransparent; }
    bool isHovering() const { return m_bHovering; }
    bool hasCursor() const { return m_cursor.has_value(); }
    QColor normalColor() const { return m_clrNormal; }
    QColor hoverColor() const { return m_clrHover; }
    QColor currentTextColor() const { return m_clrCurrent; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void timerEvent(QTimerEvent*) override;
    void changeEvent(QEvent*) override;
    bool event(QEvent*) override;

private:
    void Redraw();

    QPixmap m_dcBk;  // background captured at the first paint
    bool m_bBkCaptured = false;
    bool m_bHovering = false;
    bool m_bEnabled = true;
    std::optional<QCursor> m_cursor;
    bool m_bFocused = false;
    bool m_bFlat = true;
    bool m_bTransparent = true;
    QColor m_clrCurrent;
    QColor m_clrHover;
    QColor m_clrNormal;
    bool m_bHasIcon = false;
    int m_nIconTop = 5;
    int m_nIconLeft = 5;
    int m_nIconAlign = 0;
    QIcon m_iconHover;
    QIcon m_iconNormal;
    int m_hoverTimer = 0;
};
