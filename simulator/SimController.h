#pragma once
#include "simulator/SimKnobs.h"
#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

class Clock;
class SimSerialPeer;

// The simulated MORVAX controller: the controller's side of every exchange.
//
// In COM mode it is a pseudo-terminal (SimSerialPeer) whose slave path is the
// port name; in HID mode it is an interface of the simulated HID bus. Leaving
// the bus and coming back emit removed/arrived, which the simulated device
// watcher passes on. Mode and presence change on the window's thread only
// (through Clock::schedule); the serial side's thread calls only the
// COM-protocol functions below, which lock.
class SimController : public QObject {
    Q_OBJECT
public:
    using Mode = SimKnobs::Mode;

    SimController(Clock& clock, const SimKnobs& knobs, QObject* parent = nullptr);
    ~SimController() override;

    SimKnobs& knobs() { return m_knobs; }
    const SimKnobs& knobs() const { return m_knobs; }
    Clock& clock() { return m_clock; }

    // --- presence and mode (window's thread) ---
    Mode mode() const { return m_mode; }
    bool present() const { return m_present; }
    bool presentAs(Mode m) const { return m_present && m_mode == m; }
    // The pseudo-terminal's slave path while present in COM mode, else empty.
    QString portName() const;

    // Leaves the bus now and comes back in `target` after knobs().switchAbsentMs
    // (not at all when this is switch knobs().lostAtSwitch).
    void switchTo(Mode target);
    // Pulls the plug / plugs it back in (in the current mode).
    void unplug();
    void plugIn();
    // Another USB device leaves the bus (a stick, a network adapter): a
    // removal event that is not the controller's.
    void removeOtherDevice() { emit removed(QStringLiteral("usb")); }

    // --- COM side (called on the serial peer's thread) ---
    // Takes bytes the tool wrote and returns the bytes to answer with. May
    // ask for a delay before the answer is written (answerDelayMs), and for
    // the line to stop taking data (stallFromRecord) before it is written.
    QByteArray onSerialBytes(const QByteArray& bytes, int& delayMs, bool& stopLine);
    // A continuous status stream (knobs().statusRate above 0) runs from the
    // "n n" (or "d d") that began it until endStream(); the peer writes its
    // lines as they fall due.
    bool streaming() const;
    // The stream's lines due by now (steady clock) and not yet given out:
    // line k (from 0) is due k / statusRate seconds after the stream began.
    // Empty when no stream runs.
    QByteArray dueStatusLines();
    // The tool has let go of the port: the stream ends.
    void endStream();
    // "$" lines given out by continuous streams since the controller was made.
    std::int64_t streamedLines() const;
    // Line k of a continuous stream carrying its first `fields` values.
    static QByteArray StreamLine(std::int64_t k, int rate, int fields);

    // Every 287-byte record received since the last clearRecords().
    std::vector<QByteArray> records() const;
    void clearRecords();
    // Every byte received over the serial side, in order.
    QByteArray serialLog() const;

    // --- HID side (window's thread or the calibration worker) ---
    // 0x02 0x40 leaves HID mode for COM mode; 0x02 0x23 starts a calibration
    // of knobs().calibrationMs (clock time). Other reports are accepted.
    // False, with the controller gone from the bus, at the report
    // knobs().unplugAtReport.
    bool hidSetFeature(const std::uint8_t* data, std::size_t len);
    // Report 2: while a calibration runs, blocks until it ends and answers
    // 0x02 knobs().calibrationResult; false when the controller leaves the
    // bus meanwhile (or at the report knobs().unplugAtReport), is destroyed,
    // or after a minute of real time. Without a calibration it answers
    // 0x02 0x00 at once.
    bool hidGetFeature(std::uint8_t* data, std::size_t len);
    // Wakes every blocked read-back (which then fails) and waits until they
    // have returned; later read-backs fail at once. Run before the HID bus
    // built on this controller goes away.
    void shutdown();

signals:
    void arrived(const QString& subsystem);
    void removed(const QString& subsystem);

private:
    void leave();
    // What follows a leave on the window's thread: the calibration cut
    // short, the serial side closed, the removal events.
    void announceLeft();
    // True when this feature report is the one the controller leaves the
    // bus in: it is gone at once for every thread, the rest of the leave
    // follows on the window's thread (through Clock::schedule).
    bool leavesDuringReport();
    void appear();
    // The lines of one status stream; empty once knobs().statusStreams have
    // been sent. COM side, under m_mutex.
    QByteArray statusStream();
    // Begins a continuous stream unless one runs or knobs().statusStreams
    // have been sent. COM side, under m_mutex.
    void beginStream();

    Clock& m_clock;
    SimKnobs m_knobs;
    std::atomic<Mode> m_mode;  // changed on the main thread, read by slot threads too
    std::atomic<bool> m_present{false};
    std::unique_ptr<SimSerialPeer> m_peer;

    mutable std::mutex m_mutex;         // guards the COM-side state below
    QByteArray m_pending;               // bytes of a record not yet complete
    QByteArray m_recent;                // the last command bytes, for sequences
    QByteArray m_serialLog;
    std::vector<QByteArray> m_records;
    int m_recordCount = 0;              // records answered since the port opened
    bool m_silent = false;
    int m_streams = 0;                  // status streams sent since the controller was made
    bool m_streaming = false;           // a continuous stream runs
    std::int64_t m_streamStartUs = 0;   // when it began, steady clock
    std::int64_t m_streamNext = 0;      // its next line
    std::int64_t m_streamedLines = 0;
    int m_switches = 0;                 // mode switches (window's thread)

    // Calibration (HID side). A read-back blocks until the calibration it
    // waits for has ended (Done), was cut short by leaving the bus (Aborted),
    // or the controller is being destroyed. Guarded by m_hidMutex.
    enum class Calibration { Idle, Running, Done, Aborted };
    void endCalibration(std::uint64_t seq, Calibration how);
    Calibration m_calibration = Calibration::Idle;
    std::uint64_t m_calibrationSeq = 0;   // one more for every calibration started
    int m_hidReaders = 0;                 // read-backs blocked now
    bool m_closing = false;
    std::atomic<int> m_reports{0};        // feature reports taken, for unplugAtReport
    std::mutex m_hidMutex;
    std::condition_variable m_hidChanged;
};
