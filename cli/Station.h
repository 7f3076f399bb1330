#pragma once
#include "cli/SlotJob.h"
#include "cli/StationOutput.h"
#include "platform/Platform.h"
#include "settings/SlotMap.h"
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Journal;
class StationDevices;

// A production station: one image into many controllers at once, each slot
// on a thread of its own (run()), or into every controller plugged in until
// a stop signal (watch()). Enumeration, device events and the simulated
// controllers' mode changes stay on the main thread, which keeps its event
// loop running; one slot's failure never stops or slows another. Main
// thread.
class Station : public QObject {
    Q_OBJECT
public:
    // stop() gives 0 while the run may go on, else the exit status of the
    // stop (130, 143). rerun: the command line that runs again the slots
    // given to it with --slots (": --slots A2,A5" is appended).
    Station(const Platform& platform, Output& out, const StationTask& task, const SlotMap& slotMap, Journal* journal,
            std::function<int()> stop, QString rerun);
    ~Station() override;

    // The controllers attached, named by their slots; with names, only those
    // (slot names, or USB paths of controllers no slot names). False with
    // why for a name that is neither.
    bool choose(const QStringList& names, QString& why);
    // These controllers, as they are (a benchmark's ports).
    void choose(const std::vector<SlotTarget>& targets) { m_chosen = targets; }
    // Runs the download on the chosen controllers at once; the exit status:
    // the stop's, else 3 when none of them was attached, else 6 when one
    // failed, else 0.
    int run();
    // Runs it on every controller present now and plugged in later, once a
    // unit, until a stop; the stop's exit status.
    int watch();

    // A slot takes a new unit only after no controller has been at its USB
    // path for this long (not counting the tool's own switches).
    static constexpr int NEW_UNIT_AFTER_MS = 1000;
    // How often people's progress lines take the slots' latest counts.
    static constexpr int PROGRESS_MS = 50;

private:
    // A slot's latest progress count for people's output: its thread leaves
    // it here (waking no one), and the main thread takes it every
    // PROGRESS_MS, or the slot's thread posts it at each new tenth of the
    // records and before its next other event.
    struct Progress {
        std::mutex mutex;
        bool pending = false;
        QString slot, serial, port;
        int done = 0, total = 0;
        int tenth = 0;  // the last tenth posted; the slot's thread's own
        // Takes the count if one waits: the event to show, on the main thread.
        std::function<void()> take(StationOutput& view);
    };
    struct Attached {
        QString usbPath, serial, port, hidPath;
    };
    struct Slot {
        QString name, usbPath;
        bool busy = false;      // a job runs
        bool armed = true;      // the next unit here is to be done
        qint64 absentSince = -1; // ms of m_time; -1 while present
        qint64 quietUntil = 0;  // absences before this are the tool's own
    };
    std::vector<Attached> look() const;
    QString slotNameOf(const QString& usbPath) const;
    void start(Slot& slot, const Attached& unit);
    void onFinished(const SlotResult& result, const QString& usbPath);
    void watchLook();
    void showProgress();

    Platform m_platform;
    Output& m_out;
    StationOutput m_view;
    StationTask m_task;
    SlotMap m_slots;
    Journal* m_journal;
    std::function<int()> m_stop;
    QString m_rerun;
    std::unique_ptr<StationDevices> m_devices;
    std::vector<SlotTarget> m_chosen;
    std::vector<SlotResult> m_results;
    std::vector<std::thread> m_threads;
    std::vector<std::shared_ptr<Progress>> m_progress;  // of the slots running
    QTimer m_progressTick;
    QEventLoop* m_runLoop = nullptr;  // run()'s, while it waits for the slots
    int m_running = 0;
    bool m_watching = false;
    std::map<QString, Slot> m_watch;  // by USB path
    QStringList m_toldNotInSlot;
    QElapsedTimer m_time;
};
