#pragma once
#include <QMetaObject>
#include <QString>

class QPlainTextEdit;

// The message log as the window shows it: the log text (newest message
// first, CR LF line ends) and the box the user sees and may edit. The box
// shows a CR LF pair as a line break and a lone CR or LF as nothing, as a
// classic multi-line edit does.
//
// Showing and reading back cost the same at 10 messages and at 10,000: while
// the log has changed only through put(), the box is given just the messages
// put since it was last shown, and a box the user has not touched is read
// back without copying the log. Window's thread only.
class LogBox {
public:
    // log is the window's log text, which the window may also replace or
    // change itself; box is the edit that shows it. Both outlive this object.
    LogBox(QString& log, QPlainTextEdit* box);
    ~LogBox();
    LogBox(const LogBox&) = delete;
    LogBox& operator=(const LogBox&) = delete;

    // Puts a message in front of the log; the box shows it at the next show().
    void put(const QString& message);
    // Makes the box show the log (the data exchange into the controls).
    void show();
    // Makes the log what the box shows (the data exchange from the controls).
    void readBack();

    // The log's text as the box shows it, and back.
    static QString ToDisplay(QStringView log);
    static QString FromDisplay(const QString& display);

private:
    // Runs fill, which changes the box's text on the window's behalf.
    template <class Fill>
    void fillBox(const Fill& fill);

    QString& m_log;
    QPlainTextEdit* m_box;
    // While the user has not changed the box (m_edited), it shows m_pin
    // without its first m_unshown characters, the messages put since the
    // last show(). m_pin shares its text with m_log for as long as the log
    // has changed only through put(): any other change gives m_log a text of
    // its own, so sharing proves that the log is still the box's text with
    // those messages in front.
    QString m_pin;
    qsizetype m_unshown = 0;
    bool m_edited = false;
    bool m_filling = false;  // the window itself is changing the box
    QMetaObject::Connection m_watch;  // notes the user's changes to the box
};
