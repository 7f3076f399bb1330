#include "simulator/SimPlatform.h"
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <thread>


SimPlatform::SimPlatform(Clock& clock, Prompts& prompts, const SimKnobs& knobs, int count)
    : m_clock(clock), m_prompts(prompts), m_controllers(MakeControllers(clock, knobs, count)),
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

std::vector<std::unique_ptr<SimController>> SimPlatform::MakeControllers(Clock& clock, const SimKnobs& knobs,
                                                                         int count)
{
    count = std::clamp(count, 1, MAX_CONTROLLERS);
    std::vector<std::unique_ptr<SimController>> out;
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
        out.push_back(std::make_unique<SimController>(clock, k));
    }
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

bool SimPlatform::ParseSettings(const QString& text, SimKnobs& knobs, int& count, QString& error)
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
         [&count](const QString& v) {
             bool ok = false;
             count = v.toInt(&ok);
             return ok && count >= 1 && count <= MAX_CONTROLLERS;
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
        {"usbPath", text8(knobs.usbPath)},
        {"serialNumber", text8(knobs.serialNumber)},
    };
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(u'=');
        const QString key = item.left(eq).trimmed();
        const QString value = item.mid(eq + 1).trimmed();
        const auto it = std::find_if(settings.begin(), settings.end(),
                                     [&key](const auto& s) { return key == QLatin1String(s.first); });
        if (eq <= 0 || value.isEmpty() || it == settings.end() || !it->second(value)) {
            error = QStringLiteral("simulator setting '%1' not understood").arg(item.trimmed());
            return false;
        }
    }
    return true;
}
