#include "cli/StationOutput.h"
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace {
constexpr int BAR = 20;
constexpr int REDRAW_MS = 100;

QString Seconds(double s) { return QString::number(s, 'f', 1); }
} // namespace

StationOutput::StationOutput(Output& out) : m_out(out) {}

QJsonValue StationOutput::PortValue(const QString& port)
{
    return port.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(port);
}

void StationOutput::event(const QString& slot, const QString& serial, const QString& port, const QString& name,
                          const Output::Fields& fields)
{
    if (!m_lines.count(slot))
        m_order.push_back(slot);
    Line& line = m_lines[slot];
    line.serial = serial;
    if (m_out.json()) {
        if (name == QLatin1String("stage"))
            return;
        Output::Fields all{{QStringLiteral("slot"), slot}, {QStringLiteral("port"), PortValue(port)}};
        all.insert(all.end(), fields.begin(), fields.end());
        m_out.event(name, all);
        return;
    }
    auto field = [&fields](const char* key) {
        for (const auto& [k, v] : fields)
            if (k == QLatin1String(key))
                return v;
        return QJsonValue();
    };
    if (name == QLatin1String("stage")) {
        line.stage = field("stage").toString();
    } else if (name == QLatin1String("start")) {
        line.total = field("records").toInt();
    } else if (name == QLatin1String("log")) {
        if (m_out.terminal())
            redraw(true);
        m_out.status(QStringLiteral("%1: %2").arg(slot, field("text").toString()));
        m_drawn = 0;
    } else if (name == QLatin1String("progress")) {
        line.done = field("done").toInt();
        line.total = field("total").toInt();
        if (!m_out.terminal() && line.total > 0) {
            const int tenth = line.done * 10 / line.total;
            if (tenth > line.tenth) {
                line.tenth = tenth;
                m_out.status(QStringLiteral("%1: %2/%3 records (%4 %)").arg(slot).arg(line.done).arg(line.total).arg(tenth * 10));
            }
        }
    }
    if (m_out.terminal())
        redraw(false);
}

void StationOutput::redraw(bool force)
{
    if (!force && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < REDRAW_MS)
        return;
    m_sinceDraw.start();
    QByteArray bytes;
    if (m_drawn > 0)
        bytes += "\x1b[" + QByteArray::number(m_drawn) + "A";  // back to the display's first line
    for (const QString& slot : m_order) {
        const Line& l = m_lines[slot];
        const int filled = l.total > 0 ? l.done * BAR / l.total : 0;
        const QString text = QStringLiteral("%1  %2  %3  [%4%5] %6/%7  %8")
                                 .arg(slot, -8)
                                 .arg(l.serial.isEmpty() ? QStringLiteral("-") : l.serial, -10)
                                 .arg(l.stage, -20)
                                 .arg(QString(filled, u'#'), QString(BAR - filled, u'-'))
                                 .arg(l.done)
                                 .arg(l.total)
                                 .arg(l.result);
        bytes += "\r" + text.toLocal8Bit() + "\x1b[K\n";
    }
    m_drawn = int(m_order.size());
    m_out.draw(bytes);
}

void StationOutput::note(const QString& text)
{
    if (m_out.json()) {
        m_out.log(text);
        return;
    }
    if (m_out.terminal())
        redraw(true);
    m_out.status(text);
    m_drawn = 0;
}

void StationOutput::slotResult(const SlotResult& r, bool watching)
{
    Line& line = m_lines[r.slot];
    line.result = r.ok ? QStringLiteral("ok") : QStringLiteral("FAILED: ") + (r.reason.isEmpty() ? r.message : r.reason);
    if (m_out.json()) {
        m_out.event(QStringLiteral("slotResult"),
                    {{QStringLiteral("slot"), r.slot},
                     {QStringLiteral("port"), PortValue(r.port)},
                     {QStringLiteral("serial"), r.serial.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(r.serial)},
                     {QStringLiteral("ok"), r.ok},
                     {QStringLiteral("exit"), r.exit},
                     {QStringLiteral("message"), r.message},
                     {QStringLiteral("reason"), r.reason},
                     {QStringLiteral("accepted"), r.accepted},
                     {QStringLiteral("seconds"), r.seconds}});
        return;
    }
    if (m_out.terminal())
        redraw(true);
    else
        m_out.status(QStringLiteral("%1: %2").arg(r.slot, r.message));
    if (watching)
        m_out.note(QStringLiteral("%1  %2  %3  %4  %5 s")
                       .arg(r.slot, r.serial.isEmpty() ? QStringLiteral("-") : r.serial,
                            r.ok ? QStringLiteral("ok") : QStringLiteral("failed"),
                            r.ok ? QStringLiteral("-") : (r.reason.isEmpty() ? r.message : r.reason), Seconds(r.seconds)));
}

int StationOutput::finish(const std::vector<SlotResult>& results, bool watching, const QString& rerun, int exit,
                          const QString& message)
{
    if (m_out.json()) {
        QJsonArray passed, failed;
        for (const SlotResult& r : results) {
            QJsonObject o{{QStringLiteral("slot"), r.slot},
                          {QStringLiteral("serial"), r.serial.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(r.serial)}};
            if (r.ok) {
                passed.append(o);
            } else {
                o.insert(QStringLiteral("exit"), r.exit);
                o.insert(QStringLiteral("reason"), r.reason.isEmpty() ? r.message : r.reason);
                failed.append(o);
            }
        }
        m_out.event(QStringLiteral("summary"), {{QStringLiteral("passed"), passed}, {QStringLiteral("failed"), failed}});
    } else if (!watching) {
        if (m_out.terminal())
            redraw(true);
        QList<QStringList> rows{{"slot", "port", "serial", "result", "reason", "seconds"}};
        for (const SlotResult& r : results)
            rows.push_back({r.slot, r.port.isEmpty() ? QStringLiteral("-") : r.port,
                            r.serial.isEmpty() ? QStringLiteral("-") : r.serial,
                            r.ok ? QStringLiteral("ok") : QStringLiteral("failed"),
                            r.ok ? QStringLiteral("-") : (r.reason.isEmpty() ? r.message : r.reason), Seconds(r.seconds)});
        QList<qsizetype> widths(6, 0);
        for (const QStringList& row : rows)
            for (qsizetype i = 0; i < row.size(); ++i)
                widths[i] = std::max(widths[i], row[i].size());
        for (const QStringList& row : rows) {
            QString line;
            for (qsizetype i = 0; i < row.size(); ++i)
                line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
            m_out.note(line);
        }
    }
    if (!rerun.isEmpty())
        m_out.note(QStringLiteral("run the failed ones again: %1").arg(rerun));
    return m_out.result(exit, message, QString(),
                        rerun.isEmpty() ? Output::Fields{} : Output::Fields{{QStringLiteral("rerun"), rerun}});
}
