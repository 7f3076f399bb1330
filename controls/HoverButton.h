#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <optional>

// A push button that draws itself entirely: background (a copy of the
// parent's background, or the button face), 3-D or flat frame, optional
// 32x32 icon and caption, in four looks. Hover follows Qt's enter and leave
// events: it starts when the pointer enters the enabled button and ends when
// it leaves. Pressed with the left mouse button and dragged off, the button
// shows the normal look while the pointer is outside and the pressed look
// again when it comes back; the release shows the released look over the
// button and the normal look beside it. A button disabled while hovered
// keeps its hover (isHovering(), currentTextColor()) while disabled, however
// the pointer moves; once enabled it looks where the pointer is then. The
// pressed look follows the mouse only: the keyboard's space bar clicks
// without changing the look. Window's thread only.
class CHoverButton : public QAbstractButton {
    Q_OBJECT
public:
    enum { ICON_SIZE = 32, ICON_LEFT = 5 };
    enum State { STATE_HOVER = 0, STATE_NORMAL = 1, STATE_RELEASED = 2, STATE_PRESSED = 3 };

    explicit CHoverButton(const QString& caption = {}, QWidget* parent = nullptr);
    ~CHoverButton() override;

    // Normal icon: normal and disabled looks; hover icon: hover, pressed and
    // released looks. Icons are shared, not copied. No repaint. A lamp icon
    // is named in the accessible name ("Switch to HID: green lamp"); with
    // any other icon the name is the caption.
    void SetIcon(const QIcon& normal, const QIcon& hover);
    void SetIconAlign(int align);                            // 0 left of caption, 1 above (others: 0); repaints
    void SetIconTop(int top);                                // pixels above an icon over the caption; repaints
    void SetHoverColor(QColor c);                            // caption in the hover and released looks; repaints
    void SetNormalColor(QColor c);                           // caption in the normal and pressed looks; repaints
    void SetTransparent(bool b);                             // parent's background instead of button face; no repaint
    void SetFlat(bool b);                                    // flat instead of 3-D frame; no repaint
    // Drops the button's cursor, then takes cursor resource id (-1: none, the
    // parent's cursor shows). True when a cursor was taken or -1 was given,
    // false for an unknown id (the button is then left without a cursor).
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
    // Where the icon and the caption's top-left corner go in the present
    // look (the pressed look adds 1 to x and y).
    QPoint iconPos() const;
    QPoint captionPos() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void Redraw();
    void DrawBackground(QPainter& p);
    void DrawFrame(QPainter& p);
    void DrawIcon(QPainter& p);
    void DrawCaption(QPainter& p);
    bool Pressed() const { return m_bEnabled && m_nState == STATE_PRESSED; }
    void LookWherePointerIs();  // from m_bPointerInside and m_bHeld; repaints

    QPixmap m_dcBk;  // parent's background under the button, taken at the first paint
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
    int m_nIconLeft = ICON_LEFT;
    int m_nIconAlign = 0;
    QIcon m_iconHover;
    QIcon m_iconNormal;
    bool m_bPointerInside = false;  // as the last enter, leave or held move told
    bool m_bHeld = false;           // pressed with the left mouse button, not yet released
};
