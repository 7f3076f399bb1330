#pragma once
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

class QLine;
class QPainter;
class StatusHistory;

// The status plot's drawing: the six values of the history's complete
// reports against receive time, painted with QPainter. Each pixel column
// shows, for each value, the minimum and maximum of the reports that fall in
// it, joined to the neighbouring columns, so a burst of reports narrower than
// a pixel still shows its extremes. Incomplete reports are not drawn.
//
// The view follows the newest FOLLOW_SPAN_MS of reports unless it is paused
// (the time range shown when it was paused stays) or zoomed (the wheel, the
// + and - keys, a drag or the arrow keys set a range of its own); follow(),
// Home or a double click return to following. The value axis is autoscaled
// to the reports shown, or a fixed range. Window's thread only; times are UTC
// ms since the epoch.
class PlotCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int64_t FOLLOW_SPAN_MS = 10'000;

    // history outlives the canvas.
    explicit PlotCanvas(const StatusHistory& history, QWidget* parent = nullptr);

    // The history has taken reports: repaints when the view can show them
    // (never while paused).
    void historyChanged();

    void setPaused(bool on);
    bool paused() const { return m_paused; }
    bool zoomed() const { return m_zoomed; }
    // Back to the newest FOLLOW_SPAN_MS, neither paused nor zoomed.
    void follow();
    // Scales the time range shown by factor (below 1 zooms in) around
    // aroundUtcMs, which stays where it is on the axis.
    void zoomTime(double factor, std::int64_t aroundUtcMs);
    // Moves the time range shown by byMs (later when positive).
    void panTime(std::int64_t byMs);

    // The value axis: autoscaled to the reports shown, or from lo to hi.
    void setAutoscale(bool on);
    bool autoscale() const { return m_autoscale; }
    // lo below hi; otherwise the fixed range is left as it was.
    void setFixedRange(int lo, int hi);

    // The time range the view shows now, first and last ms.
    std::pair<std::int64_t, std::int64_t> timeRange() const;
    // The value range of the last paint.
    std::pair<int, int> valueRange() const { return {m_lo, m_hi}; }
    // Where the curves are drawn, in the canvas's coordinates: inside the
    // frame, one pixel column for each column of reports.
    QRect plotArea() const;
    // The colour of value i (0..5).
    static QColor CurveColor(int i);

signals:
    // The values of the report nearest the pointer in time, as a line of
    // text; empty when the pointer is off the plot or no report is shown.
    void readOutChanged(const QString& text);
    // Paused, zoomed or following has changed.
    void viewChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    // Per pixel column: whether a complete report falls in it, and per value
    // the least, the greatest, the first and the last there.
    struct Column {
        bool has;
        std::int8_t lo[6], hi[6], first[6], last[6];
    };
    // The report next to one side of the view, which the curves run to.
    struct Edge {
        bool has = false;
        int x = 0;
        std::int8_t v[6] = {};
    };
    void gather(std::int64_t t0, std::int64_t t1, const QRect& area);
    void scaleValues();
    void drawAxes(QPainter& p, const QRect& area, std::int64_t t0, std::int64_t t1) const;
    void drawCurves(QPainter& p, const QRect& area);
    void drawLegend(QPainter& p, const QRect& area) const;
    int yOf(int value, const QRect& area) const;
    std::int64_t timeAt(int x) const;
    void setRange(std::int64_t t0, std::int64_t t1);
    void updateReadOut();

    const StatusHistory& m_history;
    bool m_paused = false;
    bool m_zoomed = false;
    std::int64_t m_t0 = 0, m_t1 = 0;  // the range while paused or zoomed
    bool m_autoscale = true;
    int m_fixedLo = -128, m_fixedHi = 127;
    int m_lo = -128, m_hi = 127;      // the value range of the last paint
    std::vector<Column> m_columns;
    Edge m_before, m_after;
    std::vector<QLine> m_lines;       // reused from paint to paint
    bool m_pointerIn = false;
    QPoint m_pointer;
    bool m_dragging = false;
    int m_dragX = 0;
    std::int64_t m_dragT0 = 0, m_dragT1 = 0;
    QString m_readOut;
    std::int64_t m_paintedNewest = 0;  // the newest report at the last paint
    std::int64_t m_pausedNewest = 0;   // the newest report when the view was paused
};
