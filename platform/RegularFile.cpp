#include "platform/RegularFile.h"
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// What a file that is not a regular file is, in a few words.
QString KindText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("is a directory");
    if (S_ISFIFO(mode))
        return QStringLiteral("is a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("is a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket");
    return QStringLiteral("is not a regular file");
}

QString OsText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString SizeText(qint64 size, qint64 bound)
{
    return QStringLiteral("is %1 bytes, more than %2").arg(size).arg(bound);
}

constexpr qint64 READ_CHUNK = 64 * 1024;
} // namespace

RegularFile::~RegularFile()
{
    close();
}

void RegularFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RegularFile::fail(Error error, const QString& text)
{
    close();
    m_error = error;
    m_errorText = text;
    return false;
}

bool RegularFile::open(const QString& path, qint64 maxBytes)
{
    close();
    m_size = 0;
    m_bound = maxBytes;
    m_error = Error::None;
    m_errorText.clear();
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return fail(Error::CannotOpen, OsText(ENOENT));

    // A name that is plainly no regular file is not opened at all: opening a
    // device can have effects of its own (a serial port raises its modem
    // lines). This look by name only saves the open; the check that counts is
    // the one on the descriptor below.
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return fail(Error::NotRegular, KindText(st.st_mode));

    // O_NONBLOCK: should a FIFO or a device have taken the name's place
    // meanwhile, the open returns at once and the descriptor check refuses
    // it. On a regular file it changes nothing, except that a read that
    // would wait (as some files under /proc do) fails instead.
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(Error::CannotOpen, OsText(errno));
    m_fd = fd;
    if (::fstat(m_fd, &st) != 0)
        return fail(Error::CannotOpen, OsText(errno));
    if (!S_ISREG(st.st_mode))
        return fail(Error::NotRegular, KindText(st.st_mode));
    m_size = st.st_size;
    if (maxBytes >= 0 && m_size > maxBytes)
        return fail(Error::TooLarge, SizeText(m_size, maxBytes));
    return true;
}

bool RegularFile::read(QByteArray& out, qint64 maxBytes)
{
    out.clear();
    if (m_fd < 0)
        return fail(Error::ReadFailed, OsText(EBADF));
    // With a bound from open, one byte past it is asked for, to notice a file
    // that has grown since.
    qint64 limit = maxBytes;
    if (m_bound >= 0)
        limit = limit >= 0 ? std::min(limit, m_bound + 1) : m_bound + 1;
    const qint64 expected = limit >= 0 ? std::min(limit, m_size) : m_size;
    out.reserve(static_cast<qsizetype>(std::min<qint64>(expected, 64 * 1024 * 1024)) + 1);
    for (;;) {
        qint64 want = READ_CHUNK;
        if (limit >= 0) {
            if (out.size() >= limit)
                break;
            want = std::min(want, limit - out.size());
        }
        const qsizetype had = out.size();
        out.resize(had + static_cast<qsizetype>(want));
        const ssize_t n = ::read(m_fd, out.data() + had, static_cast<size_t>(want));
        const int err = errno;
        out.resize(had + std::max<ssize_t>(n, 0));
        if (n < 0 && err == EINTR)
            continue;
        if (n < 0)
            return fail(Error::ReadFailed, OsText(err));
        if (n == 0)
            break;
    }
    if (m_bound >= 0 && out.size() > m_bound) {
        m_size = std::max<qint64>(m_size, out.size());
        return fail(Error::TooLarge, SizeText(m_size, m_bound));
    }
    return true;
}
