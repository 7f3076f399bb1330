#include "cli/SelfTestReport.h"
#include "cli/Output.h"
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>

namespace {
QString ValueText(const QJsonValue& v)
{
    if (v.isArray()) {
        QStringList items;
        for (const QJsonValue& item : v.toArray())
            items << ValueText(item);
        return items.join(u',');
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (v.isDouble())
        return QString::number(v.toDouble());
    return v.toString();
}

QString SecondsText(double seconds) { return QString::number(seconds, 'f', 3); }

int Count(const std::vector<SelfTestStep>& steps, SelfTestStep::Status status)
{
    return int(std::count_if(steps.begin(), steps.end(), [status](const SelfTestStep& s) { return s.status == status; }));
}
} // namespace

QString SelfTestReport::ValuesText(const SelfTestStep& step)
{
    QStringList parts;
    for (const auto& [key, value] : step.values)
        if (!value.isUndefined() && !value.isNull())
            parts << QStringLiteral("%1=%2").arg(key, ValueText(value));
    return parts.join(u' ');
}

void SelfTestReport::step(const SelfTestStep& step)
{
    QJsonObject measured;
    for (const auto& [key, value] : step.values)
        measured.insert(key, value);
    m_out.event(QStringLiteral("step"), {{QStringLiteral("step"), step.number},
                                         {QStringLiteral("name"), step.name},
                                         {QStringLiteral("status"), step.statusText()},
                                         {QStringLiteral("seconds"), std::round(step.seconds * 1000) / 1000},
                                         {QStringLiteral("values"), measured},
                                         {QStringLiteral("reason"), step.reason},
                                         {QStringLiteral("message"), step.message},
                                         {QStringLiteral("exit"), step.exit}});
    QString line = QStringLiteral("%1 %2 %3")
                       .arg(step.number, 2)
                       .arg(step.name.leftJustified(11))
                       .arg(step.statusText());
    // The duration in a column of its own; a skipped step has none.
    line += step.status == SelfTestStep::Status::Skip ? QString(11, u' ')
                                                      : QStringLiteral("  %1 s").arg(step.seconds, 7, 'f', 2);
    const QString values = ValuesText(step);
    if (step.status == SelfTestStep::Status::Pass)
        line += QStringLiteral("  ") + values;
    else
        line += QStringLiteral("  ") + step.reason + (values.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(values));
    while (line.endsWith(u' '))
        line.chop(1);
    m_out.note(line);
}

QString SelfTestReport::VerdictText(const std::vector<SelfTestStep>& steps, const Verdict& verdict)
{
    if (verdict.stoppedAt)
        return QStringLiteral("SELFTEST STOPPED at %1").arg(verdict.stoppedAt);
    if (verdict.failedAt) {
        const SelfTestStep& failed = steps[std::size_t(verdict.failedAt - 1)];
        return QStringLiteral("SELFTEST FAIL at %1 \"%2\": %3").arg(failed.number).arg(failed.name, failed.reason);
    }
    const int passed = Count(steps, SelfTestStep::Status::Pass);
    return QStringLiteral("SELFTEST PASS %1/%2 (%3 s) %4")
        .arg(passed)
        .arg(passed + Count(steps, SelfTestStep::Status::Fail))
        .arg(verdict.seconds, 0, 'f', 1)
        .arg(verdict.controller);
}

int SelfTestReport::verdict(const std::vector<SelfTestStep>& steps, const Verdict& verdict)
{
    const QString text = VerdictText(steps, verdict);
    if (!m_out.json()) {
        m_out.note(text);
        return verdict.exit;
    }
    const int at = verdict.stoppedAt ? verdict.stoppedAt : verdict.failedAt;
    return m_out.result(verdict.exit, text, verdict.failedAt ? steps[std::size_t(at - 1)].reason : QString(),
                        {{QStringLiteral("passed"), Count(steps, SelfTestStep::Status::Pass)},
                         {QStringLiteral("failed"), Count(steps, SelfTestStep::Status::Fail)},
                         {QStringLiteral("skipped"), Count(steps, SelfTestStep::Status::Skip)},
                         {QStringLiteral("step"), at},
                         {QStringLiteral("seconds"), std::round(verdict.seconds * 1000) / 1000},
                         {QStringLiteral("controller"), verdict.controller}});
}

bool SelfTestReport::WriteJUnit(const QString& path, const std::vector<SelfTestStep>& steps, const Verdict& verdict,
                                QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    const QString tests = QString::number(steps.size());
    const QString failures = QString::number(Count(steps, SelfTestStep::Status::Fail));
    const QString skipped = QString::number(Count(steps, SelfTestStep::Status::Skip));
    const QString seconds = SecondsText(verdict.seconds);
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("morvax-tool selftest"));
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), failures);
    xml.writeAttribute(QStringLiteral("skipped"), skipped);
    xml.writeAttribute(QStringLiteral("time"), seconds);
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("selftest ") + verdict.controller);
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), failures);
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), skipped);
    xml.writeAttribute(QStringLiteral("time"), seconds);
    xml.writeAttribute(QStringLiteral("timestamp"),
                       QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")));
    for (const SelfTestStep& s : steps) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("classname"), QStringLiteral("selftest"));
        xml.writeAttribute(QStringLiteral("name"), QStringLiteral("%1 %2").arg(s.number).arg(s.name));
        xml.writeAttribute(QStringLiteral("time"), SecondsText(s.seconds));
        if (s.status == SelfTestStep::Status::Fail) {
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), s.reason);
            xml.writeAttribute(QStringLiteral("type"), QStringLiteral("exit %1").arg(s.exit));
            xml.writeCharacters(s.message.isEmpty() ? s.reason : s.message + u'\n' + s.reason);
            xml.writeEndElement();
        } else if (s.status == SelfTestStep::Status::Skip) {
            xml.writeEmptyElement(QStringLiteral("skipped"));
            xml.writeAttribute(QStringLiteral("message"), s.reason);
        }
        if (const QString values = ValuesText(s); !values.isEmpty())
            xml.writeTextElement(QStringLiteral("system-out"), values);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.flush()) {
        error = file.errorString();
        return false;
    }
    return true;
}
