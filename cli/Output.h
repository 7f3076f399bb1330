#pragma once
#include <QElapsedTimer>
#include <QJsonValue>
#include <QString>
#include <cstdio>
#include <utility>
#include <vector>

// What a command prints. Human text by default: results on stdout, failures
// and progress on stderr (a bar when stderr is a terminal, a line per 10 %
// otherwise). With json, one JSON object a line on stdout and nothing else:
//   {"event":"start","command":...,...}
//   {"event":"progress","done":k,"total":n}
//   {"event":"log","text":...}        every line the window's log would show
//   {"event":"result","ok":...,"exit":...,"message":...,"reason":...}
// Fields keep the order they are given in. Main thread only.
//
// An output that shows progress only prints nothing but the progress of
// human text (stderr): the self-test runs its operations through one, and
// prints its steps through its own.
class Output {
public:
    using Fields = std::vector<std::pair<QString, QJsonValue>>;
    enum class Shows { Everything, ProgressOnly };

    Output(bool json, std::FILE* out = stdout, std::FILE* err = stderr, Shows shows = Shows::Everything);
    ~Output();

    bool json() const { return m_json; }
    std::FILE* out() const { return m_out; }
    std::FILE* err() const { return m_err; }

    // The fixture's slot the command's controller sits in: every event but
    // the result carries it, and progress lines begin with it.
    void setSlot(const QString& slot) { m_slot = slot; }

    // The command begins; the fields say on what (file, records, port).
    // Nothing in human text.
    void start(const QString& command, const Fields& fields);
    // A line the window's log would show. JSON only: the window's own
    // chatter ("HID Opened OK!") would only clutter human text.
    void log(const QString& text);
    // A line of the command's result (a status report, a controller of the
    // list): stdout in human text, a log event in JSON.
    void line(const QString& text);
    // A line for people only: stdout in human text, nothing in JSON (where
    // the same facts travel as fields of an event).
    void note(const QString& text);
    // Something the user should know that is not the command's result (the
    // journal could not write): a log event in JSON, a line on stderr
    // otherwise.
    void problem(const QString& text);
    // Text that is the command's whole output (a file's contents), on
    // stdout as it is; nothing in JSON (where it travels in the result).
    void text(const QString& text);
    // A line for people on stderr (a slot's progress, its log); nothing in
    // JSON.
    void status(const QString& text);
    // Bytes for a terminal on stderr as they are (a display redrawn in
    // place); nothing in JSON.
    void draw(const QByteArray& bytes);
    // Whether stderr is a terminal.
    bool terminal() const { return m_tty; }
    // Any other event, JSON only: {"event":name, fields...}.
    void event(const QString& name, const Fields& fields);
    // k of n records are done.
    void progress(int done, int total);
    // Ends the progress bar's line on a terminal, so that what comes next
    // starts a line of its own.
    void endProgress() { endBar(); }
    // The end: prints the result and returns exit. ok is exit == 0. Human
    // text: the message on stdout when ok, else the message and the reason
    // (when there is one) on stderr; JSON: the result event with more after
    // message and reason.
    int result(int exit, const QString& message, const QString& reason = {}, const Fields& more = {});

    // One JSON object with its fields in order, without a line end.
    static QByteArray JsonObject(const Fields& fields);

private:
    void print(std::FILE* f, const QString& text);
    void say(std::FILE* f, const QString& shown, const QString& logged = QString());
    void endBar();

    bool m_json;
    bool m_progressOnly;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_tty;
    QString m_command;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceDraw;
    QString m_slot;
    bool m_barShown = false;
    int m_lastTenth = 0;
};
