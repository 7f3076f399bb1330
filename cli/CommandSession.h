#pragma once
#include "cli/Controllers.h"
#include "cli/Output.h"
#include "journal/OperationRecord.h"
#include "hid/HidHost.h"
#include "hid/HidLink.h"
#include "operations/ImageFile.h"
#include "platform/Platform.h"
#include "serial/SerialTransport.h"
#include "settings/SlotMap.h"
#include <QString>
#include <QStringList>
#include <functional>

struct Invocation;
class Journal;

// One command of the command line on a platform (the hardware's or the
// simulated one): the same operations the window's handlers run, their
// outcomes turned into text or JSON and an exit status. The HID link writes
// its messages into this object's log as into the window's; every line it
// shows goes out as a log event. Main thread only.
class CommandSession : public HidHost {
public:
    // The longest a command waits at its end for its records to be written.
    static constexpr int JOURNAL_WAIT_MS = 3000;

    // vid and pid: the controller's IDs as four hex digits, empty when
    // unknown (then HID work is refused).
    CommandSession(const Invocation& inv, const Platform& platform, Output& out, const QString& vid,
                   const QString& pid);
    ~CommandSession() override;

    // Where the operations are recorded; null: nowhere. Not owned.
    void setJournal(Journal* journal) { m_journal = journal; }
    // The fixture's slots ([Slots] of Config.ini).
    void setSlotMap(const SlotMap& map) { m_slots = map; }

    // The commands that talk to controllers; each returns its exit status.
    int list();
    int download(ImageFile::Kind kind);
    // download on many controllers at once: --all, --slots, --watch.
    int station(ImageFile::Kind kind);
    int status();
    int switchToHid();
    int switchToCom();
    int info();
    int calibrate();

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
    enum class Mode { Com, Hid };

    // The port a serial command uses: --port, or the one controller in COM
    // mode (as --usb-path and --serial pick). False with exit set, after the
    // result was printed, when there is none or there are several.
    bool pickPort(Controllers::ComPort& port, int& exit, const QString& notInComMode);
    // True when VID and PID are known; else prints the usage error.
    bool haveIds(int& exit);
    // The controller a HID command uses: the one with the IDs (as --usb-path
    // and --serial pick), to which the HID link then keeps. False with exit
    // set, after the result was printed, when there is none or there are
    // several.
    bool pickHid(Controllers::HidController& picked, int& exit);
    // The one controller of found, in mode, that a command uses. With none,
    // exit is none() (which prints its result); with several, they are
    // listed and exit is 3, with pickBy naming the options that pick one.
    template <class C>
    bool pickOne(const std::vector<C>& found, C& picked, int& exit, Mode mode, const QString& pickBy,
                 const std::function<int()>& none);
    // True when the controller --usb-path and --serial name is attached in
    // mode only, not in the other one: a switch to mode then has nothing to
    // do.
    bool onlyIn(Mode mode);
    // The HID link looks only at the USB device at usbPath (at every device
    // when empty).
    void keepTo(const QString& usbPath);
    // The controller opened over HID into m_hid.m_hHid, its log lines sent.
    bool openHid();
    // The command's controller over HID: picked, the start event out, opened
    // into m_hid.m_hHid. False with exit set, after the result was printed,
    // when that could not be done.
    bool startHid(Controllers::HidController& picked, OperationRecord& rec, int& exit);
    // The result for a controller that could not be opened over HID.
    int hidNotFound(OperationRecord& rec);
    // The exit status for a HID exchange that failed: a device that went
    // wrong while still on the bus refused (1) rather than vanished.
    int hidExitStatus(const DeviceOutcome& failure) const;
    // After a switch to mode was sent at startMs (clock time): waits until
    // the controller at usbPath (any when empty) is back in mode, at most
    // until SWITCH_BACK_MS after startMs, and prints the result: where it
    // was found, or that it is not back, or that a stop signal came.
    int finishSwitch(OperationRecord& rec, Mode mode, std::int64_t startMs, const QString& usbPath);
    // Waits until backIn(mode, ...) from startMs on, at most SWITCH_BACK_MS
    // or until a stop signal.
    bool waitBack(Mode mode, std::int64_t startMs, const QString& usbPath, QString& where);
    // Whether the controller at usbPath is back in mode; where says where.
    bool backIn(Mode mode, const QString& usbPath, QString& where);
    // The exit status and message for a stop signal that came.
    int stopped(const QString& message);
    // The end of a recorded operation: the record completed with the same
    // exit status, message and reason, written (as far as the journal can in
    // JOURNAL_WAIT_MS), then the result printed.
    int result(OperationRecord& rec, int exit, const QString& message, const QString& reason = {},
               const Output::Fields& more = {});
    int stopped(OperationRecord& rec, const QString& message);
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
    Output& m_out;
    SerialTransport m_transport;
    HidLink m_hid;
    QString m_strVid, m_strPid;  // the controller's IDs as four hex digits; empty when unknown
    QString m_strVersion;        // the version the HID link read last
    QStringList m_unsent;        // log messages not sent yet, newest first
};
