#include "cli/Output.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <unistd.h>

namespace {
constexpr int BAR_WIDTH = 30;
constexpr int BAR_REDRAW_MS = 100;

// One JSON value as text: a one-element array written compactly, without
// its brackets.
QByteArray JsonValueText(const QJsonValue& v)
{
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

QString Clock(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

Output::Output(bool json, std::FILE* out, std::FILE* err, Shows shows)
    : m_json(json), m_progressOnly(shows == Shows::ProgressOnly), m_out(out), m_err(err),
      m_tty(::isatty(::fileno(err)) == 1)
{
    m_started.start();
}

Output::~Output() { endBar(); }

QByteArray Output::JsonObject(const Fields& fields)
{
    QByteArray out = "{";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += JsonValueText(fields[i].first) + ':' + JsonValueText(fields[i].second);
    }
    return out + '}';
}

void Output::print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
    std::fflush(f);
}

void Output::event(const QString& name, const Fields& fields)
{
    if (!m_json || m_progressOnly)
        return;
    Fields all{{QStringLiteral("event"), name}};
    if (!m_slot.isEmpty() && name != QLatin1String("result"))
        all.push_back({QStringLiteral("slot"), m_slot});
    all.insert(all.end(), fields.begin(), fields.end());
    print(m_out, QString::fromUtf8(JsonObject(all)));
}

void Output::start(const QString& command, const Fields& fields)
{
    m_command = command;
    m_started.restart();
    m_lastTenth = 0;
    Fields all{{QStringLiteral("command"), command}};
    all.insert(all.end(), fields.begin(), fields.end());
    event(QStringLiteral("start"), all);
}

void Output::log(const QString& text) { event(QStringLiteral("log"), {{QStringLiteral("text"), text}}); }

void Output::line(const QString& text) { say(m_out, text); }

void Output::note(const QString& text)
{
    if (m_json || m_progressOnly)
        return;
    endBar();
    print(m_out, text);
}

void Output::problem(const QString& text) { say(m_err, QStringLiteral("morvax-tool: ") + text, text); }

// A line for people, or the log event that carries it under --json.
void Output::say(std::FILE* f, const QString& shown, const QString& logged)
{
    if (m_progressOnly)
        return;
    if (m_json) {
        log(logged.isNull() ? shown : logged);
        return;
    }
    endBar();
    print(f, shown);
}

void Output::status(const QString& text)
{
    if (m_json)
        return;
    endBar();
    print(m_err, text);
}

void Output::draw(const QByteArray& bytes)
{
    if (m_json)
        return;
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_err);
    std::fflush(m_err);
}

void Output::text(const QString& text)
{
    if (m_json)
        return;
    endBar();
    if (m_progressOnly)
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
    std::fflush(m_out);
}

void Output::progress(int done, int total)
{
    if (m_json) {
        event(QStringLiteral("progress"), {{QStringLiteral("done"), done}, {QStringLiteral("total"), total}});
        return;
    }
    if (total <= 0)
        return;
    if (!m_tty) {
        // A line each time another tenth is done.
        const int tenth = done * 10 / total;
        if (tenth > m_lastTenth) {
            m_lastTenth = tenth;
            print(m_err, QStringLiteral("%1%2: %3/%4 records (%5 %)")
                             .arg(m_slot.isEmpty() ? QString() : m_slot + QStringLiteral(": "), m_command)
                             .arg(done)
                             .arg(total)
                             .arg(tenth * 10));
        }
        return;
    }
    if (m_barShown && done < total && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < BAR_REDRAW_MS)
        return;
    m_sinceDraw.start();
    const double seconds = std::max<qint64>(m_started.elapsed(), 1) / 1000.0;
    const double rate = done / seconds;
    const int filled = done * BAR_WIDTH / total;
    QString bar = QStringLiteral("\r%1 [%2%3] %4/%5 records  %6 rec/s")
                      .arg(m_slot.isEmpty() ? m_command : m_slot + QStringLiteral(": ") + m_command)
                      .arg(QString(filled, u'#'), QString(BAR_WIDTH - filled, u'-'))
                      .arg(done, QString::number(total).size())
                      .arg(total)
                      .arg(rate, 0, 'f', rate < 10 ? 1 : 0);
    if (done < total && rate > 0)
        bar += QStringLiteral("  %1 left").arg(Clock(static_cast<qint64>((total - done) / rate + 0.5)));
    else
        bar += QStringLiteral("  %1 total").arg(Clock(static_cast<qint64>(seconds + 0.5)));
    bar += QStringLiteral("\x1b[K");  // clear what a longer line left
    const QByteArray bytes = bar.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_err);
    std::fflush(m_err);
    m_barShown = true;
}

void Output::endBar()
{
    if (!m_barShown)
        return;
    m_barShown = false;
    std::fputc('\n', m_err);
    std::fflush(m_err);
}

int Output::result(int exit, const QString& message, const QString& reason, const Fields& more)
{
    if (m_progressOnly) {
        endBar();
        return exit;
    }
    if (m_json) {
        Fields fields{{QStringLiteral("ok"), exit == 0},
                      {QStringLiteral("exit"), exit},
                      {QStringLiteral("message"), message},
                      {QStringLiteral("reason"), reason}};
        fields.insert(fields.end(), more.begin(), more.end());
        event(QStringLiteral("result"), fields);
        return exit;
    }
    endBar();
    if (exit == 0) {
        if (!message.isEmpty())
            print(m_out, message);
        return exit;
    }
    print(m_err, QStringLiteral("morvax-tool: ") + message);
    if (!reason.isEmpty())
        print(m_err, QStringLiteral("morvax-tool: ") + reason);
    return exit;
}
