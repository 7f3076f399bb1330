#include "platform/DeviceOutcome.h"
#include <cerrno>
#include <cstring>

DeviceOutcome::DeviceOutcome(Kind kind, Step step, QString device, QString reason, int error, QString hint)
    : m_kind(kind), m_step(step), m_device(std::move(device)), m_reason(std::move(reason)), m_error(error),
      m_hint(std::move(hint))
{
}

DeviceOutcome DeviceOutcome::FromErrno(Step step, const QString& device, int error, const QString& hint)
{
    Kind kind = Kind::Failed;
    switch (error) {
    case ENOENT:
        kind = Kind::Absent;
        break;
    case ENODEV:
    case ENXIO:
    case EIO:
    case EPIPE:
        // Before the open the device was never there; after it, it went away.
        kind = step == Step::Open ? Kind::Absent : Kind::Gone;
        break;
    case EACCES:
    case EPERM:
        kind = Kind::Denied;
        break;
    case EBUSY:
        kind = Kind::Busy;
        break;
    case ENOTTY:
    case EISDIR:
        kind = Kind::Unusable;
        break;
    case ETIMEDOUT:
        kind = Kind::TimedOut;
        break;
    default:
        break;
    }
    return DeviceOutcome(kind, step, device, QString::fromLocal8Bit(std::strerror(error)), error, hint);
}

QString DeviceOutcome::StepText(Step step)
{
    switch (step) {
    case Step::None:
        return {};
    case Step::Open:
        return QStringLiteral("cannot open");
    case Step::Configure:
        return QStringLiteral("cannot configure");
    case Step::Write:
        return QStringLiteral("write");
    case Step::Read:
        return QStringLiteral("read");
    case Step::Close:
        return QStringLiteral("close");
    case Step::SetFeature:
        return QStringLiteral("feature report");
    case Step::GetFeature:
        return QStringLiteral("read-back");
    }
    return {};
}

QString DeviceOutcome::line() const
{
    if (ok())
        return {};
    QString out = m_device.isEmpty() ? QStringLiteral("(no device)") : m_device;
    // A busy device is refused before anything is tried: "busy" says it all,
    // and the holder, when it can be seen, follows.
    out += QStringLiteral(": ") + (m_kind == Kind::Busy ? QStringLiteral("busy") : StepText(m_step));
    if (!m_reason.isEmpty())
        out += QStringLiteral(": ") + m_reason;
    if (!m_hint.isEmpty())
        out += QStringLiteral(": ") + m_hint;
    return out;
}
