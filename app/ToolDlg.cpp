// The main window: its making, the data exchange, the operation queue and
// the shared pieces its handlers use.
#include "app/ToolDlg.h"
#include "app/LogBox.h"
#include "app/ModeIndication.h"
#include "app/StatusPlot.h"
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "hid/HidLink.h"
#include "journal/Journal.h"
#include "operations/StatusReportParser.h"
#include "platform/DeviceWatcher.h"
#include "platform/Prompts.h"
#include "resources/DialogTemplate.h"
#include "resources/Resources.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include "settings/ControllerIds.h"
#include "settings/SettingsFile.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>

CToolDlg::CToolDlg(const Platform& platform, QWidget* parent) : QDialog(parent), m_platform(platform)
{
    const DialogTemplate& t = MainDialogTemplate();
    setWindowTitle(QString::fromLatin1(t.caption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    QFont font(QString::fromLatin1(t.fontFace));
    font.setPointSize(t.fontPoints);
    setFont(font);
    m_hIcon = ToolIcon(IDR_MAINFRAME);

    m_transport = std::make_unique<SerialTransport>(*m_platform.clock);
    m_hid = std::make_unique<HidLink>(*m_platform.hidBus, *this);
    m_parser = std::make_unique<StatusReportParser>();

    CreateControls();
    NameControls();
    ConnectHandlers();
    ConnectPlot();
    const QRect r = MapDialogRect(0, 0, t.cx, t.cy);
    resize(r.size());
}

CToolDlg::~CToolDlg()
{
    // The plot goes first: a recording it holds ends, and is recorded, while
    // the journal is still there.
    delete m_plot;
    m_plot = nullptr;
    // What the journal still has to write is written before the window goes.
    if (m_journal)
        disconnect(m_journal.get(), nullptr, this, nullptr);
    m_journal.reset();
    m_logBox.reset();
    if (m_platform.watcher) {
        m_platform.watcher->stop();
        disconnect(m_platform.watcher, nullptr, this, nullptr);
    }
}

QRect CToolDlg::MapDialogRect(int x, int y, int cx, int cy) const
{
    // Dialog base units of the window's font: the average width of the
    // letters and the font's height; x units are quarters, y units eighths.
    // Measuring the letters lays out text, so it is done once per font.
    if (m_baseUnitsFont != font() || m_baseX == 0) {
        const QFontMetrics fm(font());
        const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        m_baseX = (letters / 26 + 1) / 2;
        m_baseY = fm.height();
        m_baseUnitsFont = font();
    }
    const int baseX = m_baseX;
    const int baseY = m_baseY;
    auto mx = [baseX](int v) { return (v * baseX) / 4; };
    auto my = [baseY](int v) { return (v * baseY) / 8; };
    return QRect(mx(x), my(y), mx(x + cx) - mx(x), my(y + cy) - my(y));
}

void CToolDlg::ConnectHandlers()
{
    auto bind = [this](int id, void (CToolDlg::*handler)()) {
        connect(Control<QAbstractButton>(id), &QAbstractButton::clicked, this,
                [this, handler] { Run([this, handler] { (this->*handler)(); }); });
    };
    bind(1030, &CToolDlg::OnEepromOpen);
    bind(1031, &CToolDlg::OnFlashOpen);
    bind(1032, &CToolDlg::OnSetting);
    bind(1011, &CToolDlg::OnSwitchToHid);
    bind(1037, &CToolDlg::OnModeD);
    bind(1038, &CToolDlg::OnModeN);
    bind(1039, &CToolDlg::OnModeZ);
    bind(1015, &CToolDlg::OnSwitchToCom);
    bind(1018, &CToolDlg::OnEepromDownload);
    bind(1019, &CToolDlg::OnFlashDownload);
    bind(1040, &CToolDlg::OnModeDollar);
    bind(1077, &CToolDlg::OnCalibrate);
    // Only a choice from the list: typed text never activates an entry (see
    // TypedTextNeverChosen).
    connect(m_cbBaud, QOverload<int>::of(&QComboBox::activated), this, [this] { Run([this] { OnSelchangeBaud(); }); });

    if (DeviceWatcher* w = m_platform.watcher) {
        connect(w, &DeviceWatcher::deviceArrived, this, [this] { QueueDeviceEvent(true); });
        connect(w, &DeviceWatcher::deviceRemoved, this, [this] { QueueDeviceEvent(false); });
    }
}

void CToolDlg::Run(const std::function<void()>& fn)
{
    ++m_nBusy;
    fn();
    if (--m_nBusy > 0)
        return;
    // Device events that came in meanwhile, in order; each is an operation
    // of its own, and events that arrive while one runs join the queue.
    while (!m_pendingEvents.empty()) {
        const bool arrived = m_pendingEvents.front();
        m_pendingEvents.erase(m_pendingEvents.begin());
        ++m_nBusy;
        OnDeviceChange(arrived);
        --m_nBusy;
    }
}

void CToolDlg::QueueDeviceEvent(bool arrived)
{
    m_pendingEvents.push_back(arrived);
    if (m_nBusy == 0)
        Run([] {});
}

bool CToolDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate) {
        m_editEepromFile->setText(m_strEepromFile);
        m_logBox->show();
        m_editFlashFile->setText(m_strFlashFile);
        m_editPid->setText(m_strPid);
        m_editVid->setText(m_strVid);
        m_editComPort->setText(m_strComPort);
        m_editVersion->setText(m_strVersion);
        return true;
    }
    m_strEepromFile = m_editEepromFile->text();
    m_logBox->readBack();
    m_strFlashFile = m_editFlashFile->text();
    auto check = [this](QLineEdit* edit, const QString& value) {
        if (value.size() <= MAX_ID_CHARS)
            return true;
        MessageBox(QStringLiteral("Please enter no more than %1 characters.").arg(MAX_ID_CHARS));
        edit->setFocus();
        edit->selectAll();
        return false;
    };
    m_strPid = m_editPid->text();
    if (!check(m_editPid, m_strPid))
        return false;
    m_strVid = m_editVid->text();
    if (!check(m_editVid, m_strVid))
        return false;
    m_strComPort = m_editComPort->text();
    m_strVersion = m_editVersion->text();
    return true;
}

void CToolDlg::Log(const QString& message) { m_logBox->put(message); }

void CToolDlg::ReadIds(QString& vid, QString& pid)
{
    UpdateData(true);
    HeldIds(vid, pid);
}

void CToolDlg::HeldIds(QString& vid, QString& pid) const
{
    vid = m_strVid;
    pid = m_strPid;
}

void CToolDlg::StartLog(const QString& message) { m_strLog = message; }

void CToolDlg::SetVersion(const QString& text) { m_strVersion = text; }

void CToolDlg::DisableVersionEdit() { m_editVersion->setEnabled(false); }

void CToolDlg::Refresh() { UpdateData(false); }

QWidget* CToolDlg::GetDlgItem(int id) const
{
    auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

void CToolDlg::ConfigurePlain(CHoverButton* btn)
{
    btn->SetBtnCursor(IDC_HAND);
    btn->SetTransparent(false);
    btn->SetNormalColor(QColor(0, 0, 255));
    btn->SetHoverColor(QColor(0, 255, 0));
    btn->SetFlat(false);
}

void CToolDlg::ConfigureBulb(CHoverButton* btn, int bulbIcon, int iconTop)
{
    const QIcon icon = ToolIcon(bulbIcon);
    btn->SetIcon(icon, icon);
    btn->SetIconTop(iconTop);
    btn->SetIconAlign(0);
    ConfigurePlain(btn);
}

void CToolDlg::ConfigureBulbOnly(CHoverButton* btn, int bulbIcon)
{
    const QIcon icon = ToolIcon(bulbIcon);
    btn->SetIcon(icon, icon);
    ConfigurePlain(btn);
}

void CToolDlg::SetLight(CLedCtrl* led, int color)
{
    led->SetLed(led, color, LED_CIRCLE, 500);
    led->m_bLit = (color == LED_GREEN) ? 1 : 0;
    led->UpdateAccessibleName();
}

void CToolDlg::ShowMode(const ModeIndication& m)
{
    if (m.comMode != ModeIndication::KEEP)
        g_bComMode = static_cast<unsigned char>(m.comMode);
    ConfigureBulb(m_btnSwitchToHid, m.toHidLamp, m.toHidIconTop);
    ConfigureBulbOnly(m_btnSwitchToCom, m.toComLamp);
    if (m.calibrateLamp != ModeIndication::KEEP)
        ConfigureBulb(m_btnCalibrate, m.calibrateLamp, -20);
    if (m.hidLight != ModeIndication::KEEP)
        SetLight(m_ledHid, m.hidLight);
    if (m.comLight != ModeIndication::KEEP)
        SetLight(m_ledCom, m.comLight);
}

void CToolDlg::ShowSerialFailure()
{
    const DeviceOutcome& failure = m_transport->failure();
    if (failure.ok())
        return;
    Log(SerialFailureLine(failure) + QStringLiteral("\r\n"));
    UpdateData(false);
}

QString CToolDlg::SerialFailureLine(const DeviceOutcome& failure) const
{
    if (failure.kind() == DeviceOutcome::Kind::Busy && m_plot && m_plot->recording())
        return failure.line() + QStringLiteral(": the status plot is recording from it; its Stop frees it");
    return failure.line();
}

void CToolDlg::MessageBox(const QString& text)
{
    m_platform.prompts->messageBox(text, QCoreApplication::applicationName());
}

void CToolDlg::DialogMessageBox(const QString& text)
{
    // The window's own box without a caption of its own shows "Error", as the
    // classic message box does when none is given.
    m_platform.prompts->messageBox(text, QStringLiteral("Error"));
}

void CToolDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_bInitDone)
        OnInitDialog();
}

bool CToolDlg::OnInitDialog()
{
    if (m_bInitDone)
        return true;
    m_bInitDone = true;
    // 1. first data exchange
    UpdateData(false);
    // 2. window icons
    setWindowIcon(m_hIcon);
    // 3. device events; without them the tool still works, only plugging and
    //    unplugging are not noticed.
    if (m_platform.watcher && !m_platform.watcher->start())
        Log(QStringLiteral("Device events are unavailable (%1)!\r\n").arg(m_platform.watcher->errorText()));
    // 4. steady lights
    m_ledHid->SetLed(m_ledHid, LED_RED, LED_CIRCLE, 0);
    m_ledEeprom->SetLed(m_ledEeprom, LED_RED, LED_CIRCLE, 0);
    m_ledFlash->SetLed(m_ledFlash, LED_RED, LED_CIRCLE, 0);
    m_ledCom->SetLed(m_ledCom, LED_RED, LED_CIRCLE, 0);
    // 5. baud list, no selection
    for (int i = 0; i < BaudTable::COUNT; ++i)
        m_cbBaud->addItem(QString::fromLatin1(BaudTable::entry(i)));
    m_cbBaud->setCurrentIndex(-1);
    // 6. frames of the ID edits
    m_editPid->SetFrameColor(QColor(0, 128, 64));
    m_editVid->SetFrameColor(QColor(0, 128, 64));
    // 7. icon buttons
    ConfigureBulb(m_btnSwitchToHid, IDI_BULB_GREY, -20);
    ConfigureBulb(m_btnCalibrate, IDI_BULB_GREY, -20);
    ConfigureBulbOnly(m_btnSwitchToCom, IDI_BULB_GREY);
    for (CHoverButton* b : {m_btnEepromOpen, m_btnFlashOpen, m_btnEepromDownload, m_btnFlashDownload, m_btnSetting})
        ConfigurePlain(b);
    // 8.
    UpdateData(false);
    // 9. settings file: the working directory's, else the user's own
    const ControllerIds ids = ReadControllerIds(SettingsFilePath(QStringLiteral("Config.ini")));
    m_strVid = ids.vid;
    m_strPid = ids.pid;
    UpdateData(false);
    // 10. rectangles for resizing
    RecordRects();
    // 11. the controller's serial port and the mode indication
    SearchSerialPortAtStartup();
    // 12. focus on the first control
    m_editVid->setFocus();
    return true;
}

void CToolDlg::OnOK()
{
    if (UpdateData(true))
        accept();
}

void CToolDlg::keyPressEvent(QKeyEvent* e)
{
    // Enter in a control that does not take it itself is OK; Escape and the
    // close box are Cancel (QDialog's own handling).
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (!Busy())
            Run([this] { OnOK(); });
        return;
    }
    QDialog::keyPressEvent(e);
}

void CToolDlg::closeEvent(QCloseEvent* e)
{
    // The close box while an operation waits would hide the window with the
    // port or the device still in use; the operation finishes first.
    if (Busy()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void CToolDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    OnSize();
}
