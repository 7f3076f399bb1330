#pragma once
#include "app/ToolDlg.h"
#include "hid/HidHost.h"
#include "platform/Prompts.h"
#include "simulator/ManualClock.h"
#include "simulator/SimPlatform.h"
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

// Prompts answered by the test: message boxes are recorded, file dialogs
// answer with the queued paths (an empty path is a cancelled dialog), the
// open-file dialogs from files, the save-file dialogs from saveFiles.
class FakePrompts : public Prompts {
public:
    void messageBox(const QString& text, const QString& caption) override
    {
        messages << text;
        captions << caption;
        if (onMessage)
            onMessage(text);
    }
    QString openFileName(const QString& filter, const QString&) override
    {
        filters << filter;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString saveFileName(const QString& filter, const QString& suggestedName) override
    {
        saveFilters << filter;
        suggestedNames << suggestedName;
        return saveFiles.isEmpty() ? QString() : saveFiles.takeFirst();
    }

    QStringList messages, captions, filters;
    QStringList files;  // answers of the next open-file dialogs
    QStringList saveFilters, suggestedNames;
    QStringList saveFiles;  // answers of the next save-file dialogs
    // Runs while a message box is up (to look at the state at that moment).
    std::function<void(const QString&)> onMessage;
};

// A HID link's host without a window: the IDs it was given, the log, the
// version, and what the user would see at the last refresh.
struct TextHost : HidHost {
    QString vid = QStringLiteral("2f5a"), pid = QStringLiteral("0107");
    QString log, version;
    QString shownLog, shownVersion;  // as at the last Refresh()
    bool versionEditEnabled = true;

    void ReadIds(QString& v, QString& p) override { HeldIds(v, p); }
    void HeldIds(QString& v, QString& p) const override
    {
        v = vid;
        p = pid;
    }
    void StartLog(const QString& message) override { log = message; }
    void Log(const QString& message) override { log.prepend(message); }
    void SetVersion(const QString& text) override { version = text; }
    void DisableVersionEdit() override { versionEditEnabled = false; }
    void Refresh() override
    {
        shownLog = log;
        shownVersion = version;
    }
};

// Writes bytes to path, and gives the file perms unless they are empty;
// false when that fails.
bool WriteFile(const QString& path, const QByteArray& bytes, QFile::Permissions perms = {});

// Puts at path something other than a regular file: "fifo", "directory",
// "socket" (a Unix socket's name), "/dev/zero link" or "dangling link"
// (symbolic links). False when that fails.
bool MakeNode(const QString& path, const QString& kind);

// For the lifetime of the object, a working directory of its own (dir) and
// XDG_CONFIG_HOME an empty folder of its own, so that the settings of
// whoever runs the tests are never found.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    // The tool's settings folder ($XDG_CONFIG_HOME/morvax-tool), created.
    QString userToolDir() const;
    QTemporaryDir dir;

private:
    QTemporaryDir m_config;
    QString m_oldDir;
    std::optional<QByteArray> m_oldConfig;
};

// Switches the effective user and groups of the process to uid/gid with the
// supplementary groups given, back to root on destruction. Needs real root.
class AsUser {
public:
    AsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups);
    ~AsUser();
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
    std::vector<gid_t> m_oldGroups;
};

// n image lines "L1xxx...\n", each 40 characters and its LF.
QByteArray Lines(int n);

// The real main window on the simulated controller with a manual clock, in a
// working directory of its own (which may hold a Config.ini) and with no
// user settings folder (userToolDir() is empty until a test writes there,
// before open()).
class DialogFixture : public WorkDir {
public:
    // configIni: the Config.ini contents; null for no file.
    explicit DialogFixture(const SimKnobs& knobs = {}, const char* configIni = "[VID/PID]\r\nVID=2f5a\r\nPID=0107\r\n");
    ~DialogFixture();

    // Shows the window, which runs the opening steps.
    void open();

    ManualClock clock;
    FakePrompts prompts;
    std::unique_ptr<SimPlatform> sim;
    std::unique_ptr<CToolDlg> dlg;

    SimController& controller() { return sim->controller(); }
    // The log text as the box shows it now, with CR LF line ends.
    QString shownLog() const;
};

// A DialogFixture whose window has been opened.
struct OpenedDialog : DialogFixture {
    template <typename... Args>
    explicit OpenedDialog(Args&&... args) : DialogFixture(std::forward<Args>(args)...)
    {
        open();
    }
};

// The name as assistive technology gets it.
QString AccessibleName(QWidget* w);

// Pixel colour at the centre of a widget, as grabbed.
QColor CentrePixel(QWidget* w);

// How many pixels of img inside area (clipped to the image) match.
int CountPixels(const QImage& img, const QRect& area, const std::function<bool(QColor)>& match);

class CHoverButton;
// Whether the button's lamp shows the bulb icon (IDI_BULB_GREEN, ...).
bool LampIs(CHoverButton* button, int icon);

// The simulated controller starting in the given mode, or absent.
SimKnobs KnobsIn(SimKnobs::Mode mode, bool present = true);

class CLedCtrl;
// A status light: 1 green and lit, 0 red and unlit, -1 anything else.
int LightState(CLedCtrl* led);

// The mode indication as one value: the mode flag, the lamps on "Switch to
// HID" and "Switch to COM" (1 green, 0 grey, -1 anything else), the HID and
// COM lights (as LightState).
struct Indication {
    int comMode;
    int toHidLamp, toComLamp;
    int hidLight, comLight;
    bool operator==(const Indication&) const = default;
};
Q_DECLARE_METATYPE(Indication)
Indication ShownIndication(DialogFixture& f);
inline const Indication HID_MODE{0, 1, 0, 1, 0};
inline const Indication COM_MODE{1, 0, 1, 0, 1};
inline const Indication NO_MODE{0, 0, 0, 0, 0};  // after a removal
inline const Indication NO_PORT{0, 1, 0, 0, 0};  // no serial port found
