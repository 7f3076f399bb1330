#pragma once
#include "cli/Output.h"
#include "operations/ImageFile.h"
#include <QString>
#include <functional>
#include <memory>

class Clock;
class Journal;
class OperationRecord;
class SerialTransport;
class StationDevices;

// What every slot of a station run does: the image and its kind, the serial
// rate, and the version the controller must report after it.
struct StationTask {
    ImageFile::Kind kind = ImageFile::Kind::Flash;
    QString command;        // "flash" or "eeprom", as the journal and the events name it
    QString image;          // absolute path, checked before any slot starts
    QString baud;           // a baud list entry; empty for the default
    QString expectVersion;  // "0x213" as info prints it; empty: not checked
    QString vid, pid;       // the controller's IDs, four hex digits
};

// One controller of a station run: the slot it sits in and where it is now.
struct SlotTarget {
    QString slot;      // the slot's name, or its USB path without [Slots]
    QString usbPath;
    QString serial;    // its USB serial number, when known
    QString port;      // in COM mode: its port
    QString hidPath;   // in HID mode: its first HID interface
};

// How a slot ended: exit is the status its own single command would have
// given.
struct SlotResult {
    QString slot, port, serial, version;
    bool ok = false;
    int exit = 0;
    QString message, reason;
    int accepted = 0;
    double seconds = 0;
    // The slot sent the controller a switch and did not see it come back:
    // its absence now is the tool's own.
    bool switchPending = false;
};

// One slot's work, on a thread of its own: the controller switched to COM
// mode when found in HID mode, the image downloaded, and, asked for, its
// version read over HID (switching it to HID mode first when it stays in COM
// mode) and compared; one journal record of it all. Its own transport and
// clock; enumeration and HID opens through the station's devices on the main
// thread. It stops after the record in flight when stop() says so. Events go
// to sink on the slot's thread: name and fields as the JSON events have them
// ("start", "progress", "log"; "stage" with a word for people).
class SlotJob {
public:
    // port: the slot's port as the event is sent (empty while it has none).
    using Sink = std::function<void(const QString& port, const QString& event, const Output::Fields& fields)>;

    // stop() gives 0 while the slot may go on, else the exit status a stop
    // has (130, 143).
    SlotJob(const SlotTarget& target, const StationTask& task, StationDevices& devices, Journal* journal,
            Clock& mainClock, std::function<int()> stop, Sink sink);
    ~SlotJob();

    SlotResult run();

    // How long a switch waits for the controller's return (as the commands).
    static constexpr int SWITCH_BACK_MS = 10000;
    static constexpr int POLL_MS = 100;

private:
    // Waits until the controller at the target's USB path is attached in
    // COM mode (hid false) or HID mode, from startMs (this slot's clock) on,
    // at most SWITCH_BACK_MS; where it is then (its port, or its HID path).
    bool waitBack(bool hid, std::int64_t startMs, QString& where);
    // One look whether it is attached so now.
    bool attached(bool hid, QString& where);
    // The controller in HID mode switched to COM mode; false with result
    // set when that failed.
    bool switchToCom(SlotResult& result);
    // After a flash: the version over HID into result, compared with the
    // one expected; false with result set when it differs or was not read.
    bool readVersion(SlotResult& result);
    // Ends result as failed.
    static bool Fail(SlotResult& result, int exit, const QString& message, const QString& reason);
    void tell(const QString& event, const Output::Fields& fields) { m_sink(m_port, event, fields); }

    SlotTarget m_target;
    StationTask m_task;
    StationDevices& m_devices;
    Journal* m_journal;
    Clock& m_mainClock;
    std::function<int()> m_stop;
    Sink m_sink;
    QString m_port;  // the controller's port now
    // The slot's own clock and transport, made on its thread by run().
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<SerialTransport> m_transport;
};
