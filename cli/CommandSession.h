#pragma once
#include "cli/Controllers.h"
#include "cli/Outcome.h"
#include "cli/Output.h"
#include "journal/OperationRecord.h"
#include "hid/HidHost.h"
#include "hid/HidLink.h"
#include "operations/ImageFile.h"
#include "operations/ModeCommand.h"
#include "operations/StatusReportParser.h"
#include "platform/Platform.h"
#include "serial/SerialTransport.h"
#include "settings/SlotMap.h"
#include <QString>
#include <QStringList>
#include <functional>

struct Invocation;
class Journal;

// The commands of the command line on a platform (the hardware's or the
// simulated one): the same operations the window's handlers run, their
// outcomes turned into text or JSON and an exit status. The HID link writes
// its messages into this object's log as into the window's; every line it
// shows goes out as a log event. Main thread only.
//
// Each operation runs in two parts: run...() does the whole exchange,
// records it in the journal, prints its start, progress and log lines and
// returns its Outcome; the command prints that outcome as its result. The
// self-test runs the same run...() functions as its steps.
class CommandSession : public HidHost {
public:
    // The longest a command waits at its end for its records to be written.
    static constexpr int JOURNAL_WAIT_MS = 3000;

    enum class Mode { Com, Hid };

    // Which controller the operations use: --port (the serial port itself),
    // else the one at usbPath with serial number serial (an empty one
    // matches every controller).
    struct Pick {
        QString port, usbPath, serial;
    };

    // vid and pid: the controller's IDs as four hex digits, empty when
    // unknown (then HID work is refused). The pick starts as --port,
    // --usb-path and --serial give it.
    CommandSession(const Invocation& inv, const Platform& platform, Output& out, const QString& vid,
                   const QString& pid);
    ~CommandSession() override;

    // Where the operations are recorded; null: nowhere. Not owned.
    void setJournal(Journal* journal) { m_journal = journal; }
    // The fixture's slots ([Slots] of Config.ini).
    void setSlotMap(const SlotMap& map) { m_slots = map; }
    // Where the operations print; it must outlive its use. Not owned.
    void setOutput(Output& out) { m_out = &out; }
    const Pick& pick() const { return m_pick; }
    void setPick(const Pick& pick) { m_pick = pick; }
    const Platform& platform() const { return m_platform; }
    // True when VID and PID are known.
    bool haveIds() const { return !m_strVid.isEmpty() && !m_strPid.isEmpty(); }

    // The commands that talk to controllers; each prints its result and
    // returns its exit status.
    int list();
    int download(ImageFile::Kind kind);
    // download on many controllers at once: --all, --slots, --watch.
    int station(ImageFile::Kind kind);
    int status();
    int switchToHid();
    int switchToCom();
    int info();
    int calibrate();

    // The operations. Each returns its outcome without printing it (print()
    // does); none is recorded when the pick finds no controller, or several.
    //
    // The image at file downloaded over the picked port ("flash" or
    // "eeprom" in the journal). Fields: accepted; on success seconds, and for
    // a flash mode ("hid", "com" or "unknown") and, in HID mode, version.
    Outcome runDownload(ImageFile::Kind kind, const QString& file);
    // Mode command id on the picked port ("status-d", ...), for "d" and "n"
    // with reports read for at most forMs of the clock; onReport gets each.
    // Fields: reports (those onReport got).
    Outcome runStatus(ModeCommand::Id id, int forMs, const ModeCommand::ReportSink& onReport);
    // The switch and the wait for the return (up to SWITCH_BACK_MS). Fields:
    // mode; version (to HID) or port (to COM) where it came back; seconds
    // from the command to the return. "Already Open USBHID!" and "Already
    // Open COM!" with the mode alone when there is nothing to do.
    Outcome runSwitchToHid();
    Outcome runSwitchToCom();
    // The version over HID (not recorded: reading it changes nothing).
    // Fields: version, path, usbPath, serial.
    Outcome runInfo();
    // Calibration over HID ("calibrate").
    Outcome runCalibrate();

    // The one controller the pick names, in COM or in HID mode, as a
    // self-test finds it before it sends anything. With none, or several,
    // not ok (exit 3) and found is left as it was.
    struct Found {
        Mode mode = Mode::Com;
        Controllers::ComPort port;        // in COM mode
        Controllers::HidController hid;   // in HID mode
        QString usbPath() const { return mode == Mode::Com ? port.usbPath : hid.usbPath; }
        QString serial() const { return mode == Mode::Com ? port.serial : hid.serial; }
    };
    Outcome findController(Found& found);

    // Prints outcome as a command's result (and its note after it); returns
    // its exit status.
    int print(const Outcome& outcome);

    // The HID link's host: the IDs given, the version read, and the log,
    // whose messages go out as log events, oldest first, at each refresh.
    void ReadIds(QString& vid, QString& pid) override { HeldIds(vid, pid); }
    void HeldIds(QString& vid, QString& pid) const override;
    void StartLog(const QString& message) override;
    void Log(const QString& message) override;
    void SetVersion(const QString& text) override { m_strVersion = text; }
    void DisableVersionEdit() override {}
    void Refresh() override { flushLog(); }

    // How long a switch waits, from the command on, for the controller to
    // come back in the other mode.
    static constexpr int SWITCH_BACK_MS = 10000;
    // How often that wait looks.
    static constexpr int SWITCH_POLL_MS = 100;

private:
    // The outcome when VID or PID is not known (a usage error).
    static Outcome NoIds();
    // The port a serial operation uses: the pick's port, or the one
    // controller in COM mode at the pick's USB path and serial number. False
    // with why when there is none or there are several.
    bool pickPort(Controllers::ComPort& port, Outcome& why, const QString& notInComMode);
    // The controller a HID operation uses: the one with the IDs (as the pick
    // names it), to which the HID link then keeps. False with why when there
    // is none or there are several.
    bool pickHid(Controllers::HidController& picked, Outcome& why);
    // The one controller of found, in mode, that an operation uses. With
    // none, why is none(); with several, they are listed and the exit status
    // is 3, with pickBy naming the options that pick one.
    template <class C>
    bool pickOne(const std::vector<C>& found, C& picked, Outcome& why, Mode mode, const QString& pickBy,
                 const std::function<Outcome()>& none);
    // True when the picked controller is attached in mode only, not in the
    // other one: a switch to mode then has nothing to do.
    bool onlyIn(Mode mode);
    // The HID link looks only at the USB device at usbPath (at every device
    // when empty).
    void keepTo(const QString& usbPath);
    // The controller opened over HID into m_hid.m_hHid, its log lines sent.
    bool openHid();
    // The operation's controller over HID: picked, the start event of
    // command out, opened into m_hid.m_hHid. False with why when that could
    // not be done.
    bool startHid(const QString& command, Controllers::HidController& picked, OperationRecord& rec, Outcome& why);
    // The outcome for a controller that could not be opened over HID.
    Outcome hidNotFound(OperationRecord& rec);
    // The exit status for a HID exchange that failed: a device that went
    // wrong while still on the bus refused (1) rather than vanished.
    int hidExitStatus(const DeviceOutcome& failure) const;
    // After a switch to mode was sent at startMs (clock time): waits until
    // the controller at usbPath (any when empty) is back in mode, at most
    // until SWITCH_BACK_MS after startMs: where it was found, or that it is
    // not back, or that a stop signal came.
    Outcome finishSwitch(OperationRecord& rec, Mode mode, std::int64_t startMs, const QString& usbPath);
    // Waits until backIn(mode, ...) from startMs on, at most SWITCH_BACK_MS
    // or until a stop signal.
    bool waitBack(Mode mode, std::int64_t startMs, const QString& usbPath, QString& where);
    // Whether the controller at usbPath is back in mode; where says where.
    bool backIn(Mode mode, const QString& usbPath, QString& where);
    // The outcome for a stop signal that came.
    static Outcome Stopped(const QString& message);
    // The end of a recorded operation: the record completed with the
    // outcome's exit status, message and reason and written (as far as the
    // journal can in JOURNAL_WAIT_MS). Returns outcome.
    Outcome done(OperationRecord& rec, Outcome outcome);
    // A record of command for this session's controller IDs.
    std::unique_ptr<OperationRecord> record(const QString& command) const;
    // The controller's place in the record, and its slot in the record and
    // in every event after.
    void Describe(OperationRecord& rec, const Controllers::ComPort& port);
    void Describe(OperationRecord& rec, const Controllers::HidController& controller);
    void inSlot(OperationRecord& rec, const QString& usbPath);
    // Sends the log messages put since the last call, oldest first.
    void flushLog();

    const Invocation& m_inv;
    Journal* m_journal = nullptr;
    SlotMap m_slots;
    Platform m_platform;
    Output* m_out;
    Pick m_pick;
    SerialTransport m_transport;
    // Reads the transport's ring for the whole session, as the window's
    // parser does: a second mode command reads only what came after the
    // first's.
    StatusReportParser m_parser;
    HidLink m_hid;
    QString m_strVid, m_strPid;  // the controller's IDs as four hex digits; empty when unknown
    QString m_strVersion;        // the version the HID link read last
    QStringList m_unsent;        // log messages not sent yet, newest first
};
