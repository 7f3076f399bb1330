#pragma once
#include <QRect>
#include <QWidget>

// Colour codes.
constexpr int LED_RED = 2001;
constexpr int LED_GREY = 2002;
constexpr int LED_BLUE = 2003;
constexpr int LED_GREEN = 2004;
constexpr int LED_YELLOW = 2008;
// Style codes.
constexpr int LED_CIRCLE = 3001;
constexpr int LED_SQUARE = 3002;

// A status light: paints itself, inside a 2-pixel etched frame, as a lamp in
// one of five colours, round or square, bright or dark; repaints on timer
// 1001 every period ms (0: never); yellow blinks by flipping m_bLit on every
// paint. Before the first SetLed, or with an unknown colour or style, only
// the frame is drawn. Window's thread only.
class CLedCtrl : public QWidget {
    Q_OBJECT
public:
    enum { LED_TIMER_ID = 1001 };

    explicit CLedCtrl(QWidget* parent = nullptr);
    ~CLedCtrl() override;

    // window is the light's own widget (the owner passes the light itself);
    // any other widget is ignored. Stores colour, style and period (ms) and
    // restarts timer 1001 with the period; period 0 stops it. Does not
    // repaint. Returns TRUE.
    bool SetLed(QWidget* window, int nColor, int nShape, int nPeriod);

    int m_bLit = 0;  // 1 bright, 0 dark; set by the owner after SetLed

    // The light's accessible name is label: state ("HID light: bright
    // green"); the state follows SetLed, every paint and timer tick, and
    // UpdateAccessibleName, which an owner that writes m_bLit calls after.
    void SetLabel(const QString& label);
    void UpdateAccessibleName();
    // The state in words: "bright green", "dark red", "blinking yellow";
    // "no lamp" before the first SetLed or with an unknown colour or style.
    QString StateWords() const;

    int color() const { return m_nColor; }
    int shape() const { return m_nShape; }
    int period() const { return m_nPeriod; }
    int timerId1001() const { return m_timer; }  // the running Qt timer, 0 when none
    // The lamp's area in widget coordinates: the widget inside its frame.
    QRect lampRect() const;

    // Bright and dark colour of a colour code; invalid colours for an
    // unknown code.
    static QColor BrightColor(int nColor);
    static QColor DarkColor(int nColor);

protected:
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    int m_nColor = 0;
    int m_nShape = 0;
    int m_nPeriod = 0;
    int m_timer = 0;
    QString m_label;
};
