#include "app/PlotCanvas.h"
#include "app/StatusHistory.h"
#include <QDateTime>
#include <QKeyEvent>
#include <QLine>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The shortest time range a zoom shows, in ms.
constexpr std::int64_t MIN_SPAN_MS = 50;
// How far the curves look past either side of the view for the report they
// run to, in reports (incomplete ones are skipped).
constexpr int EDGE_LOOK = 64;
const QColor BACKGROUND(255, 255, 255);
const QColor GRID(225, 225, 225);
const QColor AXIS_TEXT(60, 60, 60);

// A step from steps that puts at most `most` ticks on span, else the last.
template <std::size_t N>
std::int64_t StepFor(const std::int64_t (&steps)[N], double span, double most)
{
    for (const std::int64_t s : steps)
        if (span / double(s) <= most)
            return s;
    return steps[N - 1];
}
} // namespace

PlotCanvas::PlotCanvas(const StatusHistory& history, QWidget* parent) : QWidget(parent), m_history(history)
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // the paint covers every pixel
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(240, 160);
    setAccessibleName(QStringLiteral("Status plot curves"));
    setAccessibleDescription(QStringLiteral("The six values of the status reports against receive time. Wheel or "
                                            "plus and minus zoom, a drag or the arrow keys move, Home follows the "
                                            "newest reports."));
}

QColor PlotCanvas::CurveColor(int i)
{
    static const QColor COLORS[6] = {{31, 119, 180}, {255, 127, 14}, {44, 160, 44},
                                     {214, 39, 40},  {148, 103, 189}, {140, 86, 75}};
    return COLORS[std::clamp(i, 0, 5)];
}

QRect PlotCanvas::plotArea() const
{
    // Inside the frame, so that the newest report's column is not under it.
    const int line = fontMetrics().height();
    return rect().adjusted(fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 9, line + 9, -11, -(line + 9));
}

std::pair<std::int64_t, std::int64_t> PlotCanvas::timeRange() const
{
    if (m_paused || m_zoomed)
        return {m_t0, m_t1};
    const std::int64_t t1 = m_history.empty() ? QDateTime::currentMSecsSinceEpoch() : m_history.newest().utcMs;
    return {t1 - FOLLOW_SPAN_MS, t1};
}

void PlotCanvas::historyChanged()
{
    // A paused view shows what it showed; a zoomed one changes only while
    // the newest report painted so far was still inside it.
    if (m_paused || (m_zoomed && m_paintedNewest > m_t1))
        return;
    update();
}

void PlotCanvas::setPaused(bool on)
{
    if (on == m_paused)
        return;
    if (on && !m_zoomed)
        std::tie(m_t0, m_t1) = timeRange();
    if (on)
        m_pausedNewest = m_history.empty() ? std::numeric_limits<std::int64_t>::min() : m_history.newest().utcMs;
    m_paused = on;
    update();
    emit viewChanged();
}

void PlotCanvas::follow()
{
    const bool changed = m_paused || m_zoomed;
    m_paused = m_zoomed = false;
    update();
    if (changed)
        emit viewChanged();
}

void PlotCanvas::setRange(std::int64_t t0, std::int64_t t1)
{
    if (t1 - t0 < MIN_SPAN_MS) {
        const std::int64_t mid = t0 + (t1 - t0) / 2;
        t0 = mid - MIN_SPAN_MS / 2;
        t1 = t0 + MIN_SPAN_MS;
    }
    const std::int64_t most = 2 * StatusHistory::KEEP_MS;
    if (t1 - t0 > most)
        t0 = t1 - most;
    m_t0 = t0;
    m_t1 = t1;
    const bool changed = !m_zoomed;
    m_zoomed = true;
    update();
    if (changed)
        emit viewChanged();
}

void PlotCanvas::zoomTime(double factor, std::int64_t aroundUtcMs)
{
    const auto [t0, t1] = timeRange();
    setRange(aroundUtcMs - std::llround(double(aroundUtcMs - t0) * factor),
             aroundUtcMs + std::llround(double(t1 - aroundUtcMs) * factor));
}

void PlotCanvas::panTime(std::int64_t byMs)
{
    const auto [t0, t1] = timeRange();
    setRange(t0 + byMs, t1 + byMs);
}

void PlotCanvas::setAutoscale(bool on)
{
    m_autoscale = on;
    update();
}

void PlotCanvas::setFixedRange(int lo, int hi)
{
    if (lo >= hi)
        return;
    m_fixedLo = lo;
    m_fixedHi = hi;
    if (!m_autoscale)
        update();
}

void PlotCanvas::gather(std::int64_t t0, std::int64_t t1, const QRect& area)
{
    const int w = area.width();
    m_columns.assign(static_cast<std::size_t>(std::max(w, 0)), Column{});
    m_before = m_after = Edge{};
    const double scale = double(w) / double(std::max<std::int64_t>(t1 - t0, 1));
    auto xOf = [&](std::int64_t t) { return static_cast<int>(std::floor(double(t - t0) * scale)); };
    auto edge = [&](const StatusSample& s) {
        Edge e{true, area.left() + xOf(s.utcMs), {}};
        std::copy(std::begin(s.values), std::end(s.values), e.v);
        return e;
    };
    // A paused view shows only the reports it held when it was paused, even
    // where later ones would join it.
    const std::int64_t newest = m_paused ? m_pausedNewest : std::numeric_limits<std::int64_t>::max();
    const std::int64_t last = std::min(t1, newest);
    qsizetype i = m_history.lowerBound(t0);
    for (qsizetype j = i - 1; j >= 0 && j >= i - EDGE_LOOK; --j)
        if (m_history.at(j).complete()) {
            m_before = edge(m_history.at(j));
            break;
        }
    for (; i < m_history.size(); ++i) {
        const StatusSample& s = m_history.at(i);
        if (s.utcMs > last)
            break;
        if (!s.complete() || w <= 0)
            continue;
        Column& c = m_columns[static_cast<std::size_t>(std::min(xOf(s.utcMs), w - 1))];
        if (!c.has) {
            c.has = true;
            for (int k = 0; k < 6; ++k)
                c.lo[k] = c.hi[k] = c.first[k] = c.last[k] = s.values[k];
            continue;
        }
        for (int k = 0; k < 6; ++k) {
            c.lo[k] = std::min(c.lo[k], s.values[k]);
            c.hi[k] = std::max(c.hi[k], s.values[k]);
            c.last[k] = s.values[k];
        }
    }
    for (const qsizetype end = std::min(m_history.size(), i + EDGE_LOOK); i < end && m_history.at(i).utcMs <= newest;
         ++i)
        if (m_history.at(i).complete()) {
            m_after = edge(m_history.at(i));
            break;
        }
}

void PlotCanvas::scaleValues()
{
    if (!m_autoscale) {
        m_lo = m_fixedLo;
        m_hi = m_fixedHi;
        return;
    }
    int lo = 127, hi = -128;
    for (const Column& c : m_columns)
        if (c.has)
            for (int k = 0; k < 6; ++k) {
                lo = std::min<int>(lo, c.lo[k]);
                hi = std::max<int>(hi, c.hi[k]);
            }
    if (lo > hi) {
        m_lo = -128;
        m_hi = 127;
        return;
    }
    // A margin of a tenth, and at least 10 from bottom to top, so that flat
    // curves stay off the frame.
    const int pad = std::max(2, (hi - lo) / 10);
    lo -= pad;
    hi += pad;
    if (hi - lo < 10) {
        const int mid = (lo + hi) / 2;
        lo = mid - 5;
        hi = mid + 5;
    }
    m_lo = lo;
    m_hi = hi;
}

int PlotCanvas::yOf(int value, const QRect& area) const
{
    const double f = double(value - m_lo) / double(std::max(m_hi - m_lo, 1));
    return area.bottom() - static_cast<int>(std::lround(f * (area.height() - 1)));
}

void PlotCanvas::drawAxes(QPainter& p, const QRect& area, std::int64_t t0, std::int64_t t1) const
{
    const QFontMetrics fm = fontMetrics();
    p.setPen(GRID);
    static const std::int64_t VALUE_STEPS[] = {1, 2, 5, 10, 20, 25, 50, 100, 200, 500, 1000, 2000, 5000};
    const std::int64_t vStep = StepFor(VALUE_STEPS, double(m_hi - m_lo), std::max(2.0, area.height() / 40.0));
    for (std::int64_t v = (m_lo / vStep) * vStep; v <= m_hi; v += vStep) {
        if (v < m_lo)
            continue;
        const int y = yOf(int(v), area);
        p.setPen(GRID);
        p.drawLine(area.left(), y, area.right(), y);
        p.setPen(AXIS_TEXT);
        p.drawText(QRect(0, y - fm.height() / 2, area.left() - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v));
    }
    static const std::int64_t TIME_STEPS[] = {10,    20,    50,     100,    200,    500,     1000,    2000,
                                              5000,  10000, 15000,  30000,  60000,  120000,  300000,  600000,
                                              900000, 1800000, 3600000, 7200000};
    const std::int64_t tStep = StepFor(TIME_STEPS, double(t1 - t0), std::max(1.0, area.width() / 90.0));
    const QString format = tStep < 1000 ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss");
    const double scale = double(area.width()) / double(std::max<std::int64_t>(t1 - t0, 1));
    for (std::int64_t t = (t0 / tStep + 1) * tStep; t <= t1; t += tStep) {
        const int x = area.left() + static_cast<int>(std::floor(double(t - t0) * scale));
        p.setPen(GRID);
        p.drawLine(x, area.top(), x, area.bottom());
        p.setPen(AXIS_TEXT);
        const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(format);
        const int half = fm.horizontalAdvance(label) / 2;
        p.drawText(QPoint(std::clamp(x - half, 0, width() - 2 * half), area.bottom() + 4 + fm.ascent()), label);
    }
}

void PlotCanvas::drawCurves(QPainter& p, const QRect& area)
{
    const int w = static_cast<int>(m_columns.size());
    for (int k = 0; k < 6; ++k) {
        m_lines.clear();
        bool joined = m_before.has;
        int px = m_before.x, py = m_before.has ? yOf(m_before.v[k], area) : 0;
        for (int col = 0; col < w; ++col) {
            const Column& c = m_columns[static_cast<std::size_t>(col)];
            if (!c.has)
                continue;
            const int x = area.left() + col;
            int top = yOf(c.hi[k], area), bottom = yOf(c.lo[k], area);
            if (joined && px == x - 1) {
                // From the column beside it, the join is a step: one
                // vertical line takes it with the column's extremes.
                top = std::min(top, py);
                bottom = std::max(bottom, py);
            } else if (joined) {
                m_lines.emplace_back(px, py, x, yOf(c.first[k], area));
            }
            m_lines.emplace_back(x, top, x, bottom);
            joined = true;
            px = x;
            py = yOf(c.last[k], area);
        }
        if (joined && m_after.has)
            m_lines.emplace_back(px, py, m_after.x, yOf(m_after.v[k], area));
        p.setPen(QPen(CurveColor(k), 0));
        p.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
    }
}

void PlotCanvas::drawLegend(QPainter& p, const QRect& area) const
{
    const QFontMetrics fm = fontMetrics();
    int x = area.left();
    const int y = 4;
    for (int k = 0; k < 6; ++k) {
        p.fillRect(QRect(x, y + fm.height() / 2 - 4, 16, 8), CurveColor(k));
        x += 20;
        const QString name = QStringLiteral("v%1").arg(k + 1);
        p.setPen(AXIS_TEXT);
        p.drawText(QPoint(x, y + fm.ascent()), name);
        x += fm.horizontalAdvance(name) + 14;
    }
    const QString state = m_paused ? QStringLiteral("Paused") : m_zoomed ? QStringLiteral("Zoomed (Home follows)")
                                                                         : QString();
    if (!state.isEmpty())
        p.drawText(QRect(x, y, area.right() - x, fm.height()), Qt::AlignRight | Qt::AlignVCenter, state);
}

void PlotCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), BACKGROUND);
    const QRect area = plotArea();
    const auto [t0, t1] = timeRange();
    gather(t0, t1, area);
    scaleValues();
    drawAxes(p, area, t0, t1);
    p.save();
    p.setClipRect(area);
    drawCurves(p, area);
    p.restore();
    p.setPen(AXIS_TEXT);
    p.drawRect(area.adjusted(-1, -1, 0, 0));
    drawLegend(p, area);
    if (m_history.empty())
        p.drawText(area, Qt::AlignCenter,
                   QStringLiteral("No status reports yet: d or n in the main window, or Record, brings them."));
    m_paintedNewest = m_history.empty() ? 0 : m_history.newest().utcMs;
    if (m_pointerIn)
        updateReadOut();
}

std::int64_t PlotCanvas::timeAt(int x) const
{
    const auto [t0, t1] = timeRange();
    const QRect area = plotArea();
    return t0 + std::llround(double(x - area.left()) * double(t1 - t0) / double(std::max(area.width(), 1)));
}

void PlotCanvas::updateReadOut()
{
    QString text;
    if (m_pointerIn && plotArea().contains(m_pointer) && !m_history.empty()) {
        const auto [t0, t1] = timeRange();
        const std::int64_t t = timeAt(m_pointer.x());
        // The complete report nearest t on either side, within the view.
        const qsizetype at = m_history.lowerBound(t);
        qsizetype best = -1;
        for (qsizetype j = at; j < m_history.size() && j < at + EDGE_LOOK && m_history.at(j).utcMs <= t1; ++j)
            if (m_history.at(j).complete()) {
                best = j;
                break;
            }
        for (qsizetype j = at - 1; j >= 0 && j >= at - EDGE_LOOK && m_history.at(j).utcMs >= t0; --j)
            if (m_history.at(j).complete()) {
                if (best < 0 || t - m_history.at(j).utcMs < m_history.at(best).utcMs - t)
                    best = j;
                break;
            }
        if (best >= 0) {
            const StatusSample& s = m_history.at(best);
            text = QDateTime::fromMSecsSinceEpoch(s.utcMs).toString(QStringLiteral("hh:mm:ss.zzz"));
            for (int k = 0; k < 6; ++k)
                text += QStringLiteral("  v%1 %2").arg(k + 1).arg(s.values[k]);
        }
    }
    if (text != m_readOut) {
        m_readOut = text;
        emit readOutChanged(text);
    }
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* e)
{
    m_pointerIn = true;
    m_pointer = e->position().toPoint();
    if (m_dragging) {
        const QRect area = plotArea();
        const std::int64_t by = std::llround(double(m_dragX - m_pointer.x()) * double(m_dragT1 - m_dragT0) /
                                             double(std::max(area.width(), 1)));
        setRange(m_dragT0 + by, m_dragT1 + by);
    }
    updateReadOut();
}

void PlotCanvas::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    m_dragging = true;
    m_dragX = e->position().toPoint().x();
    std::tie(m_dragT0, m_dragT1) = timeRange();
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(e);
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent*) { follow(); }

void PlotCanvas::leaveEvent(QEvent*)
{
    m_pointerIn = false;
    updateReadOut();
}

void PlotCanvas::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (delta == 0)
        return;
    zoomTime(delta > 0 ? 0.8 : 1.25, timeAt(e->position().toPoint().x()));
}

void PlotCanvas::keyPressEvent(QKeyEvent* e)
{
    const auto [t0, t1] = timeRange();
    switch (e->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomTime(0.8, t0 + (t1 - t0) / 2);
        break;
    case Qt::Key_Minus:
        zoomTime(1.25, t0 + (t1 - t0) / 2);
        break;
    case Qt::Key_Left:
        panTime(-(t1 - t0) / 10);
        break;
    case Qt::Key_Right:
        panTime((t1 - t0) / 10);
        break;
    case Qt::Key_Home:
        follow();
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}
