#pragma once
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// One operation on a controller as the journal keeps it: written when the
// operation starts (result "running") and completed when it ends. The field
// names are those of JSON and CSV; Fields() lists them in CSV order. A value
// that is not known is null in JSON and an empty cell in CSV. Plain value,
// any thread.
struct JournalRecord {
    std::optional<std::int64_t> id;  // increasing within one store; none before it is stored
    QString uuid;                    // random, unique across every store
    std::int64_t startedMs = 0;      // UTC, milliseconds since the epoch
    std::optional<std::int64_t> finishedMs;
    std::optional<std::int64_t> durationMs;  // monotonic, start to finish
    QString station;
    QString host;
    std::int64_t processId = 0;
    QString operatorName;  // "operator"
    QString toolVersion;
    QString origin;   // "window", "command", "selftest"
    QString command;  // "flash", "eeprom", "switch-hid", "switch-com", "status-d", ..., "calibrate"
    QString slot;
    QString port, usbPath, serial;
    QString vid, pid;  // four lower-case hex digits, or empty
    QString version;
    QString image;
    std::optional<std::int64_t> imageSize;
    QString imageSha256;
    std::optional<int> records;
    std::optional<int> accepted;
    QString result = QStringLiteral("running");  // ok, failed, cancelled, interrupted, running
    std::optional<int> exit;
    QString message;
    QString reason;
    bool simulated = false;

    // The link that seals a completed record to the one its station
    // completed before it: the station's sequence number and two SHA-256
    // digests (lower-case hex). Not among the fields shown.
    std::optional<std::int64_t> seq;
    QString prevLink;
    QString link;

    // The fields in CSV order.
    static const QStringList& Fields();
    // The value of one field as JSON gives it: numbers for id, processId,
    // durationMs, imageSize, records, accepted and exit; a boolean for
    // simulated; null for a value not known; strings otherwise.
    QJsonValue value(const QString& field) const;
    // All fields in order, as JSON values.
    std::vector<std::pair<QString, QJsonValue>> jsonFields() const;
    // One CSV row (RFC 4180: fields with a comma, quote or line break are
    // quoted, quotes doubled), without its line end.
    QString csvRow() const;
    static QString CsvHeader();

    // The text the seal is computed over: every field but id (which differs
    // from store to store) and the seal itself, in a fixed order.
    QByteArray sealText() const;
    // SHA-256 (hex) of prevLink and sealText(): the record's link.
    QString computeLink() const;

    // UTC ISO 8601 with milliseconds, "2026-12-07T08:15:02.113Z".
    static QString IsoTime(std::int64_t ms);
    // The reverse; also takes a date alone ("2026-12-07", its 00:00Z) and
    // whole seconds ("2026-12-07T08:15:02Z"). False when it is neither.
    static bool ParseTime(const QString& text, std::int64_t& ms);
    // A controller ID as the record keeps it (four lower-case hex digits, as
    // --vid takes them), or "" when text is no ID.
    static QString Id(const QString& text);
    // A new random UUID, without braces.
    static QString NewUuid();
};
