#include "app/ToolDlg.h"
#include "settings/ControllerIds.h"
#include "settings/SettingsFile.h"
#include "controls/FrameEdit.h"
#include "controls/GroupFrame.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "hid/HidLink.h"
#include "operations/StatusReportParser.h"
#include "platform/Clock.h"
#include "platform/DeviceWatcher.h"
#include "platform/Prompts.h"
#include "resources/DialogTemplate.h"
#include "resources/Resources.h"
#include "serial/SerialTransport.h"
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

namespace {
// Limits typed input to a number of characters, as a length limit on an edit
// does: a longer text put there by the program stays whole and can be
// shortened, but typing cannot make a text longer than the limit.
class MaxCharsValidator : public QValidator {
public:
    MaxCharsValidator(QLineEdit* edit, int max) : QValidator(edit), m_last(edit->text()), m_max(max)
    {
        // The edit's text as last accepted; setText() bypasses validation.
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { m_last = t; });
    }
    State validate(QString& input, int&) const override
    {
        return (input.size() > m_max && input.size() > m_last.size()) ? Invalid : Acceptable;
    }

private:
    QString m_last;
    int m_max;
};

constexpr int MAX_ID_CHARS = 40;

// Text typed into the baud list's field is never taken as a choice of rate.
// An editable combo box selects the entry that matches the typed text, and
// reports it as activated, when Enter is pressed or the field loses the
// focus, but only for text its validator accepts; this one accepts none
// (typing itself stays free). A rate is chosen only by a pick from the
// opened list or by moving the selection with the arrow keys or the wheel on
// the closed one.
class TypedTextNeverChosen : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString&, int&) const override { return Intermediate; }
};

// The log keeps CR LF line ends; the box shows a CR LF pair as a line break
// and a lone CR or LF as nothing, as a classic multi-line edit does.
QString LogToDisplay(QStringView log)
{
    QString out;
    out.reserve(log.size());
    for (qsizetype i = 0; i < log.size(); ++i) {
        const QChar c = log[i];
        if (c == u'\r' && i + 1 < log.size() && log[i + 1] == u'\n') {
            out += u'\n';
            ++i;
        } else if (c != u'\r' && c != u'\n') {
            out += c;
        }
    }
    return out;
}

QString DisplayToLog(const QString& display)
{
    QString out = display;
    out.replace(u'\n', QStringLiteral("\r\n"));
    return out;
}

// Whether a and b are one text because they share it. A shared text cannot
// change: changing either string first gives it a copy of its own.
bool SharesText(const QString& a, const QString& b)
{
    return a.size() == b.size() && (a.isEmpty() || a.constData() == b.constData());
}
} // namespace

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
    const QRect r = MapDialogRect(0, 0, t.cx, t.cy);
    resize(r.size());
}

CToolDlg::~CToolDlg()
{
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

void CToolDlg::CreateControls()
{
    using C = ControlTemplate;
    int swatch = 0, radio = 0;
    for (const ControlTemplate& c : MainDialogTemplate().controls) {
        const QString caption = QString::fromLatin1(c.caption);
        QWidget* w = nullptr;
        switch (c.kind) {
        case C::Edit: {
            auto* e = (c.id == 1010 || c.id == 1009) ? new CFrameEdit(this) : new QLineEdit(this);
            if (c.centred)
                e->setAlignment(Qt::AlignHCenter);
            w = e;
            break;
        }
        case C::LogEdit: {
            auto* e = new QPlainTextEdit(this);
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            e->setTabChangesFocus(false);
            // Any change to the box's text that the window did not make
            // itself is the user's.
            connect(e->document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
                if (!m_fillingLog && (removed != 0 || added != 0))
                    m_logEdited = true;
            });
            m_editLog = e;
            w = e;
            break;
        }
        case C::PushButton:
            w = new CHoverButton(caption, this);
            break;
        case C::ComboBox: {
            auto* cb = new QComboBox(this);
            cb->setEditable(true);
            cb->setInsertPolicy(QComboBox::NoInsert);
            // No completion either: a completion taken with Enter would
            // select its entry as a pick does.
            cb->setCompleter(nullptr);
            cb->setValidator(new TypedTextNeverChosen(cb));
            cb->setMaxVisibleItems(7);
            m_cbBaud = cb;
            w = cb;
            break;
        }
        case C::Light:
            w = new CLedCtrl(this);
            break;
        case C::Label:
            w = new QLabel(caption, this);
            break;
        case C::CentredLabel: {
            auto* l = new QLabel(caption, this);
            l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            w = l;
            break;
        }
        case C::GroupBox:
            // The caption stands on the frame's top line, as in a classic
            // group box, so the frame fills the rectangle it was given.
            w = new GroupFrame(caption, this);
            break;
        case C::Swatch: {
            auto* s = new ModeSwatch(this);
            m_swatch[swatch++] = s;
            w = s;
            break;
        }
        case C::ProgressBar: {
            auto* p = new QProgressBar(this);
            p->setTextVisible(false);
            p->setRange(0, 100);
            p->setValue(0);
            w = p;
            break;
        }
        case C::RadioButton: {
            auto* rb = new QRadioButton(caption, this);
            m_radio[radio++] = rb;
            w = rb;
            break;
        }
        case C::Picture: {
            auto* l = new QLabel(this);
            // A picture static shows its bitmap at the bitmap's own size from
            // its top-left corner, whatever size the control is given.
            l->setPixmap(ToolBitmap(IDB_PANEL));
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setAttribute(Qt::WA_TransparentForMouseEvents);
            w = l;
            break;
        }
        case C::ProductText: {
            auto* l = new QLabel(ProductText(), this);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = l;
            break;
        }
        }
        QRect r = MapDialogRect(c.x, c.y, c.cx, c.cy);
        if (c.kind == C::ComboBox)
            r.setHeight(MapDialogRect(0, 0, 0, 14).height());  // the closed box; the list drops below
        w->setGeometry(r);
        w->setObjectName(c.id >= 0 ? QStringLiteral("ctl%1").arg(c.id) : QStringLiteral("static"));
        m_children.push_back(w);
        if (c.id >= 0)
            m_byId[c.id] = w;
    }
    // Frames and the picture lie beneath the controls they surround.
    for (QWidget* w : m_children)
        if (qobject_cast<QGroupBox*>(w))
            w->lower();

    m_btnCalibrate = static_cast<CHoverButton*>(m_byId[1077]);
    m_progFlash = static_cast<QProgressBar*>(m_byId[1067]);
    m_progEeprom = static_cast<QProgressBar*>(m_byId[1066]);
    m_ledFlash = static_cast<CLedCtrl*>(m_byId[1004]);
    m_btnFlashDownload = static_cast<CHoverButton*>(m_byId[1019]);
    m_btnEepromDownload = static_cast<CHoverButton*>(m_byId[1018]);
    m_btnFlashOpen = static_cast<CHoverButton*>(m_byId[1031]);
    m_btnEepromOpen = static_cast<CHoverButton*>(m_byId[1030]);
    m_btnSwitchToCom = static_cast<CHoverButton*>(m_byId[1015]);
    m_btnSwitchToHid = static_cast<CHoverButton*>(m_byId[1011]);
    m_btnSetting = static_cast<CHoverButton*>(m_byId[1032]);
    m_editVid = static_cast<CFrameEdit*>(m_byId[1010]);
    m_editPid = static_cast<CFrameEdit*>(m_byId[1009]);
    m_ledCom = static_cast<CLedCtrl*>(m_byId[1003]);
    m_ledEeprom = static_cast<CLedCtrl*>(m_byId[1001]);
    m_ledHid = static_cast<CLedCtrl*>(m_byId[1002]);
    m_editEepromFile = static_cast<QLineEdit*>(m_byId[1027]);
    m_editFlashFile = static_cast<QLineEdit*>(m_byId[1028]);
    m_editComPort = static_cast<QLineEdit*>(m_byId[1020]);
    m_editVersion = static_cast<QLineEdit*>(m_byId[1076]);

    m_editPid->setValidator(new MaxCharsValidator(m_editPid, MAX_ID_CHARS));
    m_editVid->setValidator(new MaxCharsValidator(m_editVid, MAX_ID_CHARS));
}

void CToolDlg::NameControls()
{
    // The lights, lamps and swatches show their state in colour only; their
    // accessible names carry it in words for screen readers and UI
    // automation. The controls keep the state part of the name up to date.
    m_ledHid->SetLabel(QStringLiteral("HID light"));
    m_ledCom->SetLabel(QStringLiteral("COM light"));
    m_ledEeprom->SetLabel(QStringLiteral("EEPROM light"));
    m_ledFlash->SetLabel(QStringLiteral("flash light"));
    for (int i = 0; i < 4; ++i)
        m_swatch[i]->setLabel(m_radio[i]->text());
    // A bar counts records while a download runs and is back at 0 after it.
    auto nameBar = [](QProgressBar* bar, const QString& label) {
        auto name = [bar, label](int value) {
            bar->setAccessibleName(value > bar->minimum()
                                       ? QStringLiteral("%1: %2 of %3").arg(label).arg(value).arg(bar->maximum())
                                       : label + QStringLiteral(": 0"));
        };
        name(bar->value());
        QObject::connect(bar, &QProgressBar::valueChanged, bar, name);
    };
    nameBar(m_progFlash, QStringLiteral("flash progress"));
    nameBar(m_progEeprom, QStringLiteral("EEPROM progress"));
}

void CToolDlg::ConnectHandlers()
{
    auto bind = [this](int id, void (CToolDlg::*handler)()) {
        auto* b = qobject_cast<QAbstractButton*>(m_byId[id]);
        connect(b, &QAbstractButton::clicked, this, [this, handler] { Run([this, handler] { (this->*handler)(); }); });
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
        ShowLog();
        m_editFlashFile->setText(m_strFlashFile);
        m_editPid->setText(m_strPid);
        m_editVid->setText(m_strVid);
        m_editComPort->setText(m_strComPort);
        m_editVersion->setText(m_strVersion);
        return true;
    }
    m_strEepromFile = m_editEepromFile->text();
    ReadBackLog();
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

void CToolDlg::Log(const QString& message)
{
    // While the log is the box's text with messages in front, the window's
    // share of it is let go for the moment, so the message goes in front of
    // the log in place instead of into a copy of the whole log.
    const bool tracked = SharesText(m_strLog, m_logPin);
    if (tracked)
        m_logPin = QString();
    m_strLog.prepend(message);
    if (tracked) {
        m_logPin = m_strLog;
        m_logUnshown += message.size();
    }
}

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

void CToolDlg::FillLog(const std::function<void()>& fill)
{
    m_fillingLog = true;
    fill();
    m_fillingLog = false;
    m_editLog->verticalScrollBar()->setValue(0);  // the newest message is at the top
}

void CToolDlg::ShowLog()
{
    if (!m_logEdited && SharesText(m_strLog, m_logPin)) {
        // Only the messages logged since the last refresh are new: put them
        // at the top of the box, whatever its length.
        if (m_logUnshown == 0)
            return;
        const QStringView added = QStringView(m_strLog).first(m_logUnshown);
        QString text;
        if (added.endsWith(u'\r') && m_strLog.size() > m_logUnshown && m_strLog[m_logUnshown] == u'\n') {
            // A CR at the end of the new messages and the LF that begins the
            // shown text are one line end together; that LF alone showed as
            // nothing.
            text = LogToDisplay(added.chopped(1)) + u'\n';
        } else {
            text = LogToDisplay(added);
        }
        m_logUnshown = 0;
        if (text.isEmpty())
            return;
        QTextDocument* doc = m_editLog->document();
        FillLog([&] {
            // As when the whole text is set: nothing to undo, the caret at
            // the start.
            doc->setUndoRedoEnabled(false);
            QTextCursor(doc).insertText(text);
            doc->setUndoRedoEnabled(true);
            m_editLog->setTextCursor(QTextCursor(doc));
        });
        return;
    }
    // The log was replaced, or the user changed the box: show the whole log.
    m_logPin = m_strLog;
    m_logUnshown = 0;
    m_logEdited = false;
    const QString display = LogToDisplay(m_strLog);
    if (m_editLog->toPlainText() != display)
        FillLog([&] { m_editLog->setPlainText(display); });
}

void CToolDlg::ReadBackLog()
{
    // The log the box shows: the messages logged since the last refresh are
    // not in it.
    if (m_logUnshown > 0) {
        m_logPin = m_logPin.sliced(m_logUnshown);
        m_logUnshown = 0;
    }
    if (m_logEdited) {
        // A box whose text is still the one it was given (typing undone)
        // gives back that log exactly, lone CRs and LFs included.
        const QString shown = m_editLog->toPlainText();
        if (shown != LogToDisplay(m_logPin))
            m_logPin = DisplayToLog(shown);
        m_logEdited = false;
    }
    // Usually the log already is that text: then there is nothing to copy or
    // even touch.
    if (!SharesText(m_strLog, m_logPin))
        m_strLog = m_logPin;
}

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

void CToolDlg::ShowSerialFailure()
{
    const DeviceOutcome& failure = m_transport->failure();
    if (failure.ok())
        return;
    Log(failure.line() + QStringLiteral("\r\n"));
    UpdateData(false);
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
    for (const char* rate : {"9600", "38400", "115200", "128000", "230400", "256000", "460800"})
        m_cbBaud->addItem(QString::fromLatin1(rate));
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
