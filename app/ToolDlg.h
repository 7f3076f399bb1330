#pragma once
#include "app/RectList.h"
#include "hid/HidHost.h"
#include "platform/Platform.h"
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class CHoverButton;
class CLedCtrl;
class Journal;
class LogBox;
class OperationRecord;
struct ModeIndication;
class CFrameEdit;
class ModeSwatch;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class DeviceOutcome;
class HidLink;
class SerialTransport;
class StatusPlot;
class StatusReportParser;
struct StatusReport;

// The main window: every control of the main dialog template, the texts bound
// to them, the message log, and the handlers of every user operation. The
// device work itself is done by the subsystem objects it owns (the serial
// transport, the HID link, the status-report parser); the handlers call them
// and decide what the user sees.
//
// Operations run on the window's thread. While one runs, the window keeps
// painting (every wait goes through the platform's Clock) but takes no user
// input, and device events are held back and delivered after it, in order.
class CToolDlg : public QDialog, public HidHost {
    Q_OBJECT
public:
    // The most characters the VID and PID edits take.
    static constexpr int MAX_ID_CHARS = 40;

    explicit CToolDlg(const Platform& platform, QWidget* parent = nullptr);
    ~CToolDlg() override;

    // Data exchange in the template's binding order: false, the members into
    // the controls; true, the controls into the members, returning false when
    // a check fails (the user has been told).
    bool UpdateData(bool bSaveAndValidate = true);
    // Puts a message in front of the log; the box shows it at the next
    // UpdateData(false).
    void Log(const QString& message) override;

    // The HID link's view of the window (HidHost).
    void ReadIds(QString& vid, QString& pid) override;
    void HeldIds(QString& vid, QString& pid) const override;
    void StartLog(const QString& message) override;
    void SetVersion(const QString& text) override;
    void DisableVersionEdit() override;
    void Refresh() override;

    // Opening steps; run once by showEvent, or directly by tests.
    bool OnInitDialog();

    // The child window of a control id, or null.
    QWidget* GetDlgItem(int id) const;
    // The control of that id as a T. A wrong id or type is a mistake in the
    // program, not a state to run on: it ends the program, naming the id.
    template <class T>
    T* Control(int id) const
    {
        QWidget* w = GetDlgItem(id);
        T* control = qobject_cast<T*>(w);
        if (!control)
            qFatal("control %d is %s, not %s", id, w ? w->metaObject()->className() : "missing",
                   T::staticMetaObject.className());
        return control;
    }
    // Every child in template order (the order the resizing walks).
    const std::vector<QWidget*>& Children() const { return m_children; }
    // Dialog units to pixels with this window's font.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;

    // --- handlers (each runs as one operation through Run) ---
    void OnEepromOpen();
    void OnFlashOpen();
    void OnSetting();
    void OnSwitchToHid();
    void OnModeD();
    void OnModeN();
    void OnModeZ();
    void OnSelchangeBaud();
    void OnSwitchToCom();
    void OnEepromDownload();
    void OnFlashDownload();
    void OnModeDollar();
    void OnCalibrate();
    // A device event: arrival when arrived is true, complete removal otherwise.
    void OnDeviceChange(bool arrived);
    // OK: read the controls back and close when that succeeds.
    void OnOK();

    // Runs fn as one operation: no user input meanwhile, device events held
    // back until it ends. Nested calls run inline.
    void Run(const std::function<void()>& fn);
    bool Busy() const { return m_nBusy > 0; }

    // --- serial-port discovery ---
    // The port name of the first serial port the controller's rule matches,
    // or an empty string.
    QString FindUsbSerialPort() const;
    void SearchSerialPortAtStartup();  // opening step 11

    // --- resizing ---
    void RecordRects();  // opening step 10
    void OnSize();

    // --- the status plot ---
    // Shows the status plot window (Ctrl+P, the log box's "Status plot..."),
    // made at the first call and kept from then on; logs nothing.
    StatusPlot* OpenStatusPlot();
    // What a mode command gives each report it logs, with the ms since its
    // first byte, so that the plot takes it too: one per command (it keeps
    // the UTC time of that first byte). Empty until the plot was first opened.
    std::function<void(const StatusReport&, std::int64_t)> PlotSink();
    // The plot window, a child window of this one; null until first opened.
    StatusPlot* m_plot = nullptr;

    // --- members ---
    // The texts the data exchange moves between these members and the edits.
    // Texts hold 8-bit characters (one character per byte, Latin-1).
    QString m_strEepromFile;  // edit 1027
    QString m_strLog;         // edit 1000, newest message first
    QString m_strFlashFile;   // edit 1028
    QString m_strPid;         // edit 1009, at most 40 characters
    QString m_strVid;         // edit 1010, at most 40 characters
    QString m_strComPort;     // edit 1020
    QString m_strVersion;     // edit 1076
    // 1 while the controller is taken to be in COM mode.
    unsigned char g_bComMode = 0;

    CRectList m_rectList;
    CHoverButton* m_btnCalibrate = nullptr;
    QProgressBar* m_progFlash = nullptr;
    QProgressBar* m_progEeprom = nullptr;
    CLedCtrl* m_ledFlash = nullptr;
    CHoverButton* m_btnFlashDownload = nullptr;
    CHoverButton* m_btnEepromDownload = nullptr;
    CHoverButton* m_btnFlashOpen = nullptr;
    CHoverButton* m_btnEepromOpen = nullptr;
    CHoverButton* m_btnSwitchToCom = nullptr;
    CHoverButton* m_btnSwitchToHid = nullptr;
    CHoverButton* m_btnSetting = nullptr;
    CFrameEdit* m_editVid = nullptr;
    CFrameEdit* m_editPid = nullptr;
    QComboBox* m_cbBaud = nullptr;
    CLedCtrl* m_ledCom = nullptr;
    CLedCtrl* m_ledEeprom = nullptr;
    CLedCtrl* m_ledHid = nullptr;
    QIcon m_hIcon;

    // Subsystems. m_hHid and the report lengths live in the HID link, m_hCom
    // in the transport.
    std::unique_ptr<SerialTransport> m_transport;
    std::unique_ptr<HidLink> m_hid;
    std::unique_ptr<StatusReportParser> m_parser;

    Platform m_platform;

    // The log box as the user sees it (edit 1000) and the other edits.
    QPlainTextEdit* m_editLog = nullptr;
    QLineEdit* m_editEepromFile = nullptr;
    QLineEdit* m_editFlashFile = nullptr;
    QLineEdit* m_editComPort = nullptr;
    QLineEdit* m_editVersion = nullptr;
    ModeSwatch* m_swatch[4] = {};        // 1057..1060
    QRadioButton* m_radio[4] = {};       // 1037..1040

    // The bulb configurations the handlers give the icon buttons; the first
    // is the look of every command button: the hand cursor, a 3-D face, a
    // blue caption that turns green under the pointer.
    static void ConfigurePlain(CHoverButton* btn);
    static void ConfigureBulb(CHoverButton* btn, int bulbIcon, int iconTop);  // SetIconTop(iconTop)
    static void ConfigureBulbOnly(CHoverButton* btn, int bulbIcon);
    // SetLed with LED_CIRCLE, period 500, and m_bLit 1 for green, 0 otherwise.
    void SetLight(CLedCtrl* led, int color);
    // Shows the controller's mode as the row says: the mode flag, the lamps
    // and the lights (see ModeIndication).
    void ShowMode(const ModeIndication& indication);
    // Puts why the transport's last operation failed in front of the log and
    // shows the log; nothing when it did not fail.
    void ShowSerialFailure();
    // failure's log line; when the port is busy because the status plot
    // records from it, with a hint that says so.
    QString SerialFailureLine(const DeviceOutcome& failure) const;
    // Puts "Could not find the specified HID device!" in front of the log,
    // and under it why, when the HID search knows (a controller it may not
    // open). Does not refresh the box.
    void LogHidNotFound();
    // For a HID command: closes a port still held and opens the controller
    // over HID into the link's m_hHid. False, after "Could not find the
    // specified HID device!" (and why) was shown, when it is not there.
    // The record, when the controller is not there, is completed so.
    bool OpenHidForCommand(OperationRecord& rec);
    // True when the controller is still attached as far as enumeration tells:
    // a serial port the port rule accepts, or a HID interface with the VID
    // and PID as the members hold them. Opens nothing and changes nothing.
    bool ControllerPresent() const;
    // The journal the window's operations are recorded in, opened at the
    // first call; null when they are recorded nowhere.
    Journal* journal();
    // A record of command with the VID and PID of the edits and, overSerial,
    // the port of the port edit and where the serial-port map puts it. Not
    // begun yet.
    std::unique_ptr<OperationRecord> Record(const QString& command, bool overSerial);
    // The controller the HID link has open: its USB path, serial number and
    // version, into rec.
    void DescribeHidController(OperationRecord& rec) const;
    // A message box with the application's name as caption.
    void MessageBox(const QString& text);
    // The dialog's own message box (no caption given).
    void DialogMessageBox(const QString& text);

protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void CreateControls();
    void NameControls();  // accessible names of the lights, swatches and bars
    void ConnectHandlers();
    void ConnectPlot();  // Ctrl+P and the log box's menu entry
    void QueueDeviceEvent(bool arrived);

    // MapDialogRect's base units and the font they were measured in.
    mutable QFont m_baseUnitsFont;
    mutable int m_baseX = 0, m_baseY = 0;

    std::map<int, QWidget*> m_byId;
    std::vector<QWidget*> m_children;
    int m_nBusy = 0;
    bool m_bInitDone = false;
    std::vector<bool> m_pendingEvents;  // true: arrival
    std::unique_ptr<LogBox> m_logBox;   // the log box and m_strLog
    std::unique_ptr<Journal> m_journal;
    bool m_journalOpened = false;
};
