#include "cli/Station.h"
#include "cli/Controllers.h"
#include "cli/ExitStatus.h"
#include "cli/StationDevices.h"
#include "platform/DeviceWatcher.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>

Station::Station(const Platform& platform, Output& out, const StationTask& task, const SlotMap& slotMap,
                 Journal* journal, std::function<int()> stop, QString rerun)
    : m_platform(platform), m_out(out), m_view(out), m_task(task), m_slots(slotMap), m_journal(journal),
      m_stop(std::move(stop)), m_rerun(std::move(rerun)),
      m_devices(std::make_unique<StationDevices>(platform, task.vid, task.pid))
{
    m_time.start();
    m_progressTick.setInterval(PROGRESS_MS);
    connect(&m_progressTick, &QTimer::timeout, this, &Station::showProgress);
}

Station::~Station()
{
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

std::vector<Station::Attached> Station::look() const
{
    std::vector<Attached> out;
    auto at = [&out](const QString& usbPath) -> Attached& {
        for (Attached& a : out)
            if (a.usbPath == usbPath)
                return a;
        out.push_back({usbPath, {}, {}, {}});
        return out.back();
    };
    for (const Controllers::ComPort& p : m_devices->comPorts()) {
        Attached& a = at(p.usbPath.isEmpty() ? p.port : p.usbPath);
        a.port = p.port;
        a.serial = p.serial;
    }
    for (const Controllers::HidController& c : m_devices->hidControllers()) {
        Attached& a = at(c.usbPath.isEmpty() ? c.path : c.usbPath);
        a.hidPath = c.path;
        a.serial = c.serial;
    }
    return out;
}

QString Station::slotNameOf(const QString& usbPath) const
{
    return m_slots.empty() ? usbPath : m_slots.slotAt(usbPath);
}

bool Station::choose(const QStringList& names, QString& why)
{
    m_chosen.clear();
    const std::vector<Attached> attached = look();
    auto target = [](const QString& slot, const Attached& a) { return SlotTarget{slot, a.usbPath, a.serial, a.port, a.hidPath}; };
    if (names.isEmpty()) {
        for (const Attached& a : attached) {
            const QString slot = slotNameOf(a.usbPath);
            if (slot.isEmpty())
                m_view.note(QStringLiteral("%1: not in a slot").arg(a.usbPath));
            else
                m_chosen.push_back(target(slot, a));
        }
        return true;
    }
    for (const QString& name : names) {
        if (const SlotMap::Slot* s = m_slots.find(name)) {
            const auto it = std::find_if(attached.begin(), attached.end(),
                                         [s](const Attached& a) { return a.usbPath == s->usbPath; });
            m_chosen.push_back(it == attached.end() ? SlotTarget{s->name, s->usbPath, {}, {}, {}} : target(s->name, *it));
            continue;
        }
        const auto it = std::find_if(attached.begin(), attached.end(),
                                     [&](const Attached& a) { return a.usbPath == name && m_slots.slotAt(name).isEmpty(); });
        if (it == attached.end()) {
            why = m_slots.empty() ? QStringLiteral("no controller is attached at USB path %1").arg(name)
                                  : QStringLiteral("no slot %1 in [Slots]").arg(name);
            return false;
        }
        m_chosen.push_back(target(name, *it));
    }
    return true;
}

void Station::start(Slot& slot, const Attached& unit)
{
    slot.busy = true;
    slot.armed = false;
    ++m_running;
    const SlotTarget target{slot.name, unit.usbPath, unit.serial, unit.port, unit.hidPath};
    auto progress = std::make_shared<Progress>();
    progress->slot = target.slot;
    progress->serial = target.serial;
    m_progress.push_back(progress);
    if (!m_progressTick.isActive())
        m_progressTick.start();
    m_threads.emplace_back([this, target, progress] {
        // Events reach the output on the main thread, in the order sent.
        // With JSON every progress event goes; for people a display needs
        // the latest count, not every one: the slot's thread leaves it for
        // the main thread's next look rather than waking it for each record,
        // and posts it itself at each new tenth and before any other event.
        const bool everyRecord = m_out.json();
        auto postPending = [this, progress] {
            if (auto show = progress->take(m_view))
                QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
        };
        auto sink = [this, target, progress, everyRecord, postPending](const QString& port, const QString& event,
                                                                       const Output::Fields& fields) {
            if (!everyRecord && event == QLatin1String("progress")) {
                const int done = fields.front().second.toInt(), total = fields.back().second.toInt();
                {
                    std::lock_guard lock(progress->mutex);
                    progress->pending = true;
                    progress->port = port;
                    progress->done = done;
                    progress->total = total;
                }
                // A new tenth goes at once: a log shows each tenth's line.
                const int tenth = total > 0 ? done * 10 / total : 0;
                if (tenth <= progress->tenth)
                    return;
                progress->tenth = tenth;
                postPending();
                return;
            }
            postPending();
            QMetaObject::invokeMethod(this, [=, this] { m_view.event(target.slot, target.serial, port, event, fields); },
                                      Qt::QueuedConnection);
        };
        SlotJob job(target, m_task, *m_devices, m_journal, *m_platform.clock, m_stop, sink);
        const SlotResult result = job.run();
        postPending();
        QMetaObject::invokeMethod(
            this,
            [this, result, target, progress] {
                std::erase(m_progress, progress);
                onFinished(result, target.usbPath);
            },
            Qt::QueuedConnection);
    });
}

std::function<void()> Station::Progress::take(StationOutput& view)
{
    std::lock_guard lock(mutex);
    if (!pending)
        return {};
    pending = false;
    return [&view, slot = slot, serial = serial, port = port, done = done, total = total] {
        view.event(slot, serial, port, QStringLiteral("progress"),
                   {{QStringLiteral("done"), done}, {QStringLiteral("total"), total}});
    };
}

void Station::showProgress()
{
    for (const auto& p : m_progress)
        if (auto show = p->take(m_view))
            show();
    if (m_progress.empty())
        m_progressTick.stop();
}

void Station::onFinished(const SlotResult& result, const QString& usbPath)
{
    --m_running;
    m_results.push_back(result);
    m_view.slotResult(result, m_watching);
    if (m_running == 0 && m_runLoop)
        m_runLoop->quit();
    if (auto it = m_watch.find(usbPath); it != m_watch.end()) {
        it->second.busy = false;
        it->second.absentSince = -1;
        // A controller the slot sent a switch and did not see back is on its
        // way: that is no new unit until the switch's bound has passed. One
        // that went away by itself (pulled out) is away from now on.
        if (result.switchPending)
            it->second.quietUntil = m_time.elapsed() + SlotJob::SWITCH_BACK_MS;
    }
}

int Station::run()
{
    QEventLoop loop;
    int attachedCount = 0;
    for (const SlotTarget& t : m_chosen) {
        if (t.port.isEmpty() && t.hidPath.isEmpty()) {
            m_results.push_back({t.slot, {}, {}, {}, false, EXIT_NO_CONTROLLER, QStringLiteral("nothing attached"),
                                 QStringLiteral("nothing attached"), 0, 0});
            m_view.slotResult(m_results.back(), false);
            continue;
        }
        ++attachedCount;
        Slot& slot = m_watch[t.usbPath];
        slot.name = t.slot;
        slot.usbPath = t.usbPath;
        start(slot, {t.usbPath, t.serial, t.port, t.hidPath});
    }
    // The last slot to finish ends the loop (onFinished).
    m_runLoop = &loop;
    if (m_running > 0)
        loop.exec();
    m_runLoop = nullptr;
    for (std::thread& t : m_threads)
        t.join();
    m_threads.clear();
    QCoreApplication::sendPostedEvents(this);

    // The table and the summary in the slots' order.
    std::sort(m_results.begin(), m_results.end(), [](const SlotResult& a, const SlotResult& b) {
        return QString::localeAwareCompare(a.slot, b.slot) < 0;
    });
    QStringList failed;
    for (const SlotResult& r : m_results)
        if (!r.ok)
            failed << r.slot;
    const int stop = m_stop();
    const int exit = stop               ? stop
                     : attachedCount == 0 ? int(EXIT_NO_CONTROLLER)
                     : failed.isEmpty()   ? int(EXIT_OK)
                                          : int(EXIT_SOME_FAILED);
    const QString message = m_chosen.empty() ? QStringLiteral("No controller found")
                                              : QStringLiteral("%1 of %2 slots passed")
                                                    .arg(m_results.size() - std::size_t(failed.size()))
                                                    .arg(m_results.size());
    return m_view.finish(m_results, false, failed.isEmpty() || stop ? QString() : m_rerun + QStringLiteral(" --slots ") + failed.join(u','),
                         exit, message);
}

void Station::watchLook()
{
    const qint64 now = m_time.elapsed();
    const std::vector<Attached> attached = look();
    // Every slot with a controller at its USB path now.
    for (const Attached& a : attached) {
        const QString name = slotNameOf(a.usbPath);
        if (name.isEmpty()) {
            if (!m_toldNotInSlot.contains(a.usbPath)) {
                m_toldNotInSlot << a.usbPath;
                m_view.note(QStringLiteral("%1: not in a slot").arg(a.usbPath));
            }
            continue;
        }
        Slot& slot = m_watch[a.usbPath];
        slot.name = name;
        slot.usbPath = a.usbPath;
        // Back after an absence of its own: a new unit when it was away long
        // enough, the same one otherwise.
        if (slot.absentSince >= 0 && now - slot.absentSince >= NEW_UNIT_AFTER_MS)
            slot.armed = true;
        slot.absentSince = -1;
        if (slot.armed && !slot.busy && !m_stop())
            start(slot, a);
    }
    // Slots whose controller is away: since when, unless the tool sent it
    // away (a job runs, or its switches are still within their bound).
    for (auto& [usbPath, slot] : m_watch) {
        const bool present = std::any_of(attached.begin(), attached.end(),
                                         [&](const Attached& a) { return a.usbPath == usbPath; });
        if (present || slot.busy)
            continue;
        if (slot.absentSince < 0)
            slot.absentSince = std::max(now, slot.quietUntil);
        if (now - slot.absentSince >= NEW_UNIT_AFTER_MS)
            slot.armed = true;  // a unit that failed, or was done, is gone
    }
}

int Station::watch()
{
    m_watching = true;
    QEventLoop loop;
    DeviceWatcher* watcher = m_platform.watcher;
    if (watcher) {
        QObject::connect(watcher, &DeviceWatcher::deviceArrived, &loop, [this] { watchLook(); });
        QObject::connect(watcher, &DeviceWatcher::deviceRemoved, &loop, [this] { watchLook(); });
        if (!watcher->start())
            m_view.note(QStringLiteral("Device events are unavailable (%1); looking every second").arg(watcher->errorText()));
    }
    // The absences that make a new unit end without an event; and a stop
    // ends the watch once the slots working have stopped.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (m_stop()) {
            if (m_running == 0)
                loop.quit();
            return;
        }
        watchLook();
    });
    tick.start(200);
    watchLook();
    loop.exec();
    if (watcher)
        watcher->stop();
    for (std::thread& t : m_threads)
        t.join();
    m_threads.clear();
    QCoreApplication::sendPostedEvents(this);
    QStringList failed;
    for (const SlotResult& r : m_results)
        if (!r.ok)
            failed << r.slot;
    return m_view.finish(m_results, true, QString(), m_stop(),
                         QStringLiteral("%1 units: %2 passed, %3 failed")
                             .arg(m_results.size())
                             .arg(m_results.size() - std::size_t(failed.size()))
                             .arg(failed.size()));
}
