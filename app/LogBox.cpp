#include "app/LogBox.h"
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {
// Whether a and b are one text because they share it. A shared text cannot
// change: changing either string first gives it a copy of its own.
bool SharesText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.isEmpty() || a.constData() == b.constData());
}
} // namespace

LogBox::LogBox(QString& log, QPlainTextEdit* box) : m_log(log), m_box(box)
{
    // Any change to the box's text that the window did not make itself is
    // the user's.
    m_watch = QObject::connect(box->document(), &QTextDocument::contentsChange, box, [this](int, int removed, int added) {
        if (!m_filling && (removed != 0 || added != 0))
            m_edited = true;
    });
}

LogBox::~LogBox() { QObject::disconnect(m_watch); }

QString LogBox::ToDisplay(QStringView log)
{
    QString out;
    out.reserve(log.size());
    for (qsizetype i = 0; i < log.size(); ++i) {
        const QChar c = log[i];
        if (c == u'\r' && i + 1 < log.size() && log[i + 1] == u'\n') {
            out += u'\n';
            ++i;
        } else if (c != u'\r' && c != u'\n') {
            out += c;
        }
    }
    return out;
}

QString LogBox::FromDisplay(const QString& display)
{
    QString out = display;
    out.replace(u'\n', QStringLiteral("\r\n"));
    return out;
}

void LogBox::put(const QString& message)
{
    // While the log is the box's text with messages in front, the box's
    // share of it is let go for the moment, so the message goes in front of
    // the log in place instead of into a copy of the whole log.
    const bool tracked = SharesText(m_log, m_pin);
    if (tracked)
        m_pin = QString();
    m_log.prepend(message);
    if (tracked) {
        m_pin = m_log;
        m_unshown += message.size();
    }
}

template <class Fill>
void LogBox::fillBox(const Fill& fill)
{
    m_filling = true;
    fill();
    m_filling = false;
    m_box->verticalScrollBar()->setValue(0);  // the newest message is at the top
}

void LogBox::show()
{
    if (!m_edited && SharesText(m_log, m_pin)) {
        // Only the messages put since the last show are new: they go at the
        // top of the box, whatever its length.
        if (m_unshown == 0)
            return;
        const QStringView added = QStringView(m_log).first(m_unshown);
        QString text;
        if (added.endsWith(u'\r') && m_log.size() > m_unshown && m_log[m_unshown] == u'\n') {
            // A CR at the end of the new messages and the LF that begins the
            // shown text are one line end together; that LF alone showed as
            // nothing.
            text = ToDisplay(added.chopped(1)) + u'\n';
        } else {
            text = ToDisplay(added);
        }
        m_unshown = 0;
        if (text.isEmpty())
            return;
        QTextDocument* doc = m_box->document();
        fillBox([&] {
            // As when the whole text is set: nothing to undo, the caret at
            // the start.
            doc->setUndoRedoEnabled(false);
            QTextCursor(doc).insertText(text);
            doc->setUndoRedoEnabled(true);
            m_box->setTextCursor(QTextCursor(doc));
        });
        return;
    }
    // The log was replaced, or the user changed the box: show the whole log.
    m_pin = m_log;
    m_unshown = 0;
    m_edited = false;
    const QString display = ToDisplay(m_log);
    if (m_box->toPlainText() != display)
        fillBox([&] { m_box->setPlainText(display); });
}

void LogBox::readBack()
{
    // The log the box shows: the messages put since the last show are not
    // in it.
    if (m_unshown > 0) {
        m_pin = m_pin.sliced(m_unshown);
        m_unshown = 0;
    }
    if (m_edited) {
        // A box whose text is still the one it was given (typing undone)
        // gives back that log exactly, lone CRs and LFs included.
        const QString shown = m_box->toPlainText();
        if (shown != ToDisplay(m_pin))
            m_pin = FromDisplay(shown);
        m_edited = false;
    }
    // Usually the log already is that text: then there is nothing to copy or
    // even touch.
    if (!SharesText(m_log, m_pin))
        m_log = m_pin;
}
