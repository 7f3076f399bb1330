#include "simulator/SimPlatform.h"
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <thread>


SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs, int count)
    : SimPlatform(clock, prompts, Controllers(knobs, count))
{
}

SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const std::vector<SimKnobs>& controllers)
    : m_clock(clock), m_prompts(prompts), m_controllers(MakeControllers(clock, controllers)),
      m_portMap(Pointers(m_controllers)), m_hidBus(Pointers(m_controllers)), m_watcher(Pointers(m_controllers))
{
}

SimPlatform::~SimPlatform()
{
    for (auto& c : m_controllers)
        c->shutdown();
    for (int i = 0; i < 100 && m_hidBus.openControllerHandles() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::vector<std::unique_ptr<SimController>> SimPlatform::MakeControllers(Clock& clock,
                                                                         const std::vector<SimKnobs>& knobs)
{
    std::vector<std::unique_ptr<SimController>> out;
    for (const SimKnobs& k : knobs)
        out.push_back(std::make_unique<SimController>(clock, k));
    return out;
}

std::vector<SimController*> SimPlatform::Pointers(const std::vector<std::unique_ptr<SimController>>& controllers)
{
    std::vector<SimController*> out;
    for (const auto& c : controllers)
        out.push_back(c.get());
    return out;
}

Platform SimPlatform::platform() { return {&m_clock, &m_prompts, &m_portMap, &m_hidBus, &m_watcher, true}; }

namespace {
// Sets the knob key of knobs to value; false when the key is unknown or the
// value not understood. count, when given, takes "controllers".
bool Apply(SimKnobs& knobs, int* count, const QString& key, const QString& value)
{
    // Each setting takes its value text and says whether it understood it.
    auto number = [](int& to) {
        return [&to](const QString& v) {
            bool ok = false;
            to = v.toInt(&ok);
            return ok;
        };
    };
    auto hex16 = [](std::uint16_t& to) {
        return [&to](const QString& v) {
            bool ok = false;
            const uint n = v.toUInt(&ok, 16);
            to = static_cast<std::uint16_t>(n);
            return ok && n <= 0xFFFF;
        };
    };
    auto text8 = [](std::string& to) {
        return [&to](const QString& v) {
            to = v.toStdString();
            return true;
        };
    };
    const std::vector<std::pair<const char*, std::function<bool(const QString&)>>> settings = {
        {"controllers",
         [count](const QString& v) {
             bool ok = false;
             const int n = v.toInt(&ok);
             if (count)
                 *count = n;
             return count && ok && n >= 1 && n <= SimPlatform::MAX_CONTROLLERS;
         }},
        {"startMode",
         [&knobs](const QString& v) {
             knobs.startMode = v == QLatin1String("hid") ? SimKnobs::Mode::Hid : SimKnobs::Mode::Com;
             return v == QLatin1String("com") || v == QLatin1String("hid");
         }},
        {"vid", hex16(knobs.vid)},
        {"pid", hex16(knobs.pid)},
        {"version", hex16(knobs.version)},
        {"startPresent",
         [&knobs](const QString& v) {
             knobs.startPresent = v == QLatin1String("1");
             return v == QLatin1String("0") || v == QLatin1String("1");
         }},
        {"wrongAnswerAtRecord", number(knobs.wrongAnswerAtRecord)},
        {"silentFromRecord", number(knobs.silentFromRecord)},
        {"unplugAtRecord", number(knobs.unplugAtRecord)},
        {"stallFromRecord", number(knobs.stallFromRecord)},
        {"answerDelayMs", number(knobs.answerDelayMs)},
        {"switchAbsentMs", number(knobs.switchAbsentMs)},
        {"calibrationMs", number(knobs.calibrationMs)},
        {"calibrationResult",
         [&knobs](const QString& v) {
             bool ok = false;
             const uint n = v.toUInt(&ok, 0);
             knobs.calibrationResult = static_cast<std::uint8_t>(n);
             return ok && n <= 0xFF;
         }},
        {"setFeatureError", number(knobs.setFeatureError)},
        {"getFeatureError", number(knobs.getFeatureError)},
        {"unplugAtReport", number(knobs.unplugAtReport)},
        {"statusFields",
         [&knobs](const QString& v) {
             bool ok = false;
             knobs.statusFields = v.toInt(&ok);
             return ok && knobs.statusFields >= 0 && knobs.statusFields <= 6;
         }},
        {"statusStreams", number(knobs.statusStreams)},
        {"statusRate",
         [&knobs](const QString& v) {
             bool ok = false;
             knobs.statusRate = v.toInt(&ok);
             return ok && knobs.statusRate >= 0 && knobs.statusRate <= 10000;
         }},
        {"stallOn",
         [&knobs](const QString& v) {
             knobs.stallOn = v.toStdString();
             return std::all_of(v.begin(), v.end(), [](QChar c) { return QStringLiteral("ndz$").contains(c); });
         }},
        {"lostAtSwitch", number(knobs.lostAtSwitch)},
        {"hidOpenError", number(knobs.hidOpenError)},
        {"usbPath", text8(knobs.usbPath)},
        {"serialNumber", text8(knobs.serialNumber)},
    };
    const auto it = std::find_if(settings.begin(), settings.end(),
                                 [&key](const auto& s) { return key == QLatin1String(s.first); });
    return it != settings.end() && it->second(value);
}
} // namespace

std::vector<SimKnobs> SimPlatform::Controllers(const SimKnobs& knobs, int count)
{
    count = std::clamp(count, 1, MAX_CONTROLLERS);
    std::vector<SimKnobs> out;
    for (int i = 0; i < count; ++i) {
        SimKnobs k = knobs;
        if (count > 1) {
            k.usbPath += "." + std::to_string(i + 1);
            // MVX0001, MVX0002, ...: the number at the end counts up.
            std::size_t digits = k.serialNumber.size();
            while (digits > 0 && std::isdigit(static_cast<unsigned char>(k.serialNumber[digits - 1])))
                --digits;
            const std::string stem = k.serialNumber.substr(0, digits);
            const std::string tail = k.serialNumber.substr(digits);
            const long first = tail.empty() ? 1 : std::stol(tail);
            std::string number = std::to_string(first + i);
            if (number.size() < tail.size())
                number.insert(0, tail.size() - number.size(), '0');
            k.serialNumber = stem + number;
        }
        out.push_back(k);
    }
    return out;
}

bool SimPlatform::ParseSettings(const QString& text, const SimKnobs& defaults, std::vector<SimKnobs>& controllers,
                                QString& error)
{
    struct Item {
        int controller;  // 0 for every controller, else from 1
        QString key, value, text;
    };
    std::vector<Item> items;
    for (const QString& raw : text.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype eq = raw.indexOf(u'=');
        Item item{0, raw.left(eq).trimmed(), raw.mid(eq + 1).trimmed(), raw.trimmed()};
        // "3.unplugAtRecord=10": the knob of controller 3 alone.
        if (const qsizetype dot = item.key.indexOf(u'.'); dot > 0) {
            bool ok = false;
            item.controller = item.key.left(dot).toInt(&ok);
            item.key = item.key.mid(dot + 1);
            if (!ok || item.controller < 1)
                item.controller = -1;
        }
        if (eq <= 0 || item.value.isEmpty() || item.controller < 0) {
            error = QStringLiteral("simulator setting '%1' not understood").arg(item.text);
            return false;
        }
        items.push_back(item);
    }
    SimKnobs all = defaults;
    int count = 1;
    for (const Item& item : items)
        if (item.controller == 0 && !Apply(all, &count, item.key, item.value)) {
            error = QStringLiteral("simulator setting '%1' not understood").arg(item.text);
            return false;
        }
    controllers = Controllers(all, count);
    for (const Item& item : items) {
        if (item.controller == 0)
            continue;
        if (item.controller > count) {
            error = QStringLiteral("simulator setting '%1' names controller %2 of %3")
                        .arg(item.text)
                        .arg(item.controller)
                        .arg(count);
            return false;
        }
        if (!Apply(controllers[std::size_t(item.controller - 1)], nullptr, item.key, item.value)) {
            error = QStringLiteral("simulator setting '%1' not understood").arg(item.text);
            return false;
        }
    }
    return true;
}
