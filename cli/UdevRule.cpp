#include "cli/UdevRule.h"

namespace {
bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The text as a reason may quote it: printable ASCII kept, anything else as
// \xNN, and long texts cut, so that the reason stays one readable line.
QString Quoted(const QString& text)
{
    constexpr int MAX_SHOWN = 16;
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < text.size() && i < MAX_SHOWN; ++i) {
        const QChar c = text[i];
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'"' && c != u'\\')
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
    }
    if (text.size() > MAX_SHOWN)
        out += QStringLiteral("...");
    return out + u'"';
}
} // namespace

QString UdevId(const QString& key, const QString& text, QString& reason)
{
    if (text.isEmpty()) {
        reason = QStringLiteral("%1 is empty (it must be four hexadecimal digits)").arg(key);
        return QString();
    }
    bool ok = text.size() == 4;
    for (QChar c : text)
        ok = ok && IsHexDigit(c);
    if (!ok) {
        reason = QStringLiteral("%1 %2 is not four hexadecimal digits").arg(key, Quoted(text));
        return QString();
    }
    return text.toLower();
}

QString MakeUdevRules(const QString& vidText, const QString& pidText, QString& reason)
{
    const QString vid = UdevId(QStringLiteral("VID"), vidText, reason);
    if (vid.isEmpty())
        return QString();
    const QString pid = UdevId(QStringLiteral("PID"), pidText, reason);
    if (pid.isEmpty())
        return QString();
    const QString access = QStringLiteral("TAG+=\"uaccess\", GROUP=\"plugdev\", MODE=\"0660\"");
    QString r;
    r += QStringLiteral("# %1: lets users without root reach the MORVAX touch-panel controller\n")
             .arg(QLatin1String(UDEV_RULES_FILE_NAME));
    r += QStringLiteral("# (VID %1, PID %2), written by `morvax-tool udev-rule`.\n").arg(vid, pid);
    r += QStringLiteral("# uaccess gives the user at the desktop access while logged in; the plugdev\n"
                        "# group serves benches without a desktop session.\n\n");
    r += QStringLiteral("# HID mode: the USB device and its hidraw nodes.\n");
    r += QStringLiteral("SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%1\", "
                        "ATTR{idProduct}==\"%2\", %3\n")
             .arg(vid, pid, access);
    r += QStringLiteral("SUBSYSTEM==\"hidraw\", KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%1\", "
                        "ATTRS{idProduct}==\"%2\", %3\n\n")
             .arg(vid, pid, access);
    r += QStringLiteral("# COM mode: the controller's serial port. ModemManager would probe it for\n"
                        "# about ten seconds after every plug; ID_MM_DEVICE_IGNORE keeps it away.\n"
                        "# Config.ini does not name the product ID the controller has in COM mode,\n"
                        "# so this matches every CDC-ACM port of the vendor. To narrow it, add\n"
                        "# ATTRS{idProduct}==\"xxxx\" with the ID that `udevadm info -a -n /dev/ttyACM0`\n"
                        "# shows while the controller is in COM mode.\n");
    r += QStringLiteral("SUBSYSTEM==\"tty\", KERNEL==\"ttyACM[0-9]*\", ATTRS{idVendor}==\"%1\", %2, "
                        "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n")
             .arg(vid, access);
    return r;
}
