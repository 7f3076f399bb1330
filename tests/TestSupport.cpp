#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "resources/Resources.h"
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <algorithm>
#include <cstring>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

bool WriteFile(const QString& path, const QByteArray& bytes, QFile::Permissions perms)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush() &&
           (perms == QFile::Permissions() || f.setPermissions(perms));
}

bool MakeNode(const QString& path, const QString& kind)
{
    const QByteArray native = QFile::encodeName(path);
    if (kind == "fifo")
        return ::mkfifo(native.constData(), 0600) == 0;
    if (kind == "directory")
        return QDir().mkdir(path);
    if (kind == "/dev/zero link")
        return QFile::link(QStringLiteral("/dev/zero"), path);
    if (kind == "dangling link")
        return QFile::link(path + QStringLiteral(".gone"), path);
    if (kind != "socket")
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, native.constData(), sizeof addr.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);  // the name stays
    return bound;
}

WorkDir::WorkDir() : m_oldDir(QDir::currentPath())
{
    if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QDir::setCurrent(dir.path());
}

WorkDir::~WorkDir()
{
    QDir::setCurrent(m_oldDir);
    if (m_oldConfig)
        qputenv("XDG_CONFIG_HOME", *m_oldConfig);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString WorkDir::userToolDir() const
{
    const QString d = m_config.filePath(QStringLiteral("morvax-tool"));
    QDir().mkpath(d);
    return d;
}

QByteArray Lines(int n)
{
    QByteArray out;
    for (int i = 1; i <= n; ++i)
        out += ("L" + QByteArray::number(i)).leftJustified(40, 'x') + '\n';
    return out;
}

DialogFixture::DialogFixture(const SimKnobs& knobs, const char* configIni)
{
    if (configIni)
        WriteFile(dir.filePath(QStringLiteral("Config.ini")), configIni);
    sim = std::make_unique<SimPlatform>(clock, prompts, knobs);
    dlg = std::make_unique<CToolDlg>(sim->platform());
}

DialogFixture::~DialogFixture()
{
    dlg.reset();
    sim.reset();
}

void DialogFixture::open()
{
    dlg->show();
    clock.pump();
}

QString DialogFixture::shownLog() const
{
    QString s = dlg->m_editLog->toPlainText();
    s.replace(u'\n', QStringLiteral("\r\n"));
    return s;
}

QString AccessibleName(QWidget* w)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("(no interface)");
}

QColor CentrePixel(QWidget* w)
{
    const QImage img = w->grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

int CountPixels(const QImage& img, const QRect& area, const std::function<bool(QColor)>& match)
{
    int n = 0;
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool LampIs(CHoverButton* button, int icon)
{
    return button->normalIcon().cacheKey() == ToolIcon(icon).cacheKey();
}

SimKnobs KnobsIn(SimKnobs::Mode mode, bool present)
{
    SimKnobs k;
    k.startMode = mode;
    k.startPresent = present;
    return k;
}

int LightState(CLedCtrl* led)
{
    if (led->color() == LED_GREEN && led->m_bLit == 1)
        return 1;
    return led->color() == LED_RED && led->m_bLit == 0 ? 0 : -1;
}

static int LampState(CHoverButton* button)
{
    if (LampIs(button, IDI_BULB_GREEN))
        return 1;
    return LampIs(button, IDI_BULB_GREY) ? 0 : -1;
}

Indication ShownIndication(DialogFixture& f)
{
    return {f.dlg->g_bComMode, LampState(f.dlg->m_btnSwitchToHid), LampState(f.dlg->m_btnSwitchToCom),
            LightState(f.dlg->m_ledHid), LightState(f.dlg->m_ledCom)};
}

AsUser::AsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups)
{
    m_oldGroups.resize(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    ::getgroups(static_cast<int>(m_oldGroups.size()), m_oldGroups.data());
    m_ok = ::setgroups(groups.size(), groups.data()) == 0 && ::setegid(gid) == 0 && ::seteuid(uid) == 0;
}

AsUser::~AsUser()
{
    // Back to root: the saved user ID is still 0.
    [[maybe_unused]] const int a = ::seteuid(0), b = ::setegid(0),
                               c = ::setgroups(m_oldGroups.size(), m_oldGroups.data());
}
