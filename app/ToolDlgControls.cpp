// The main window's controls: made from the dialog template, fetched by id
// into the members, and named for screen readers.
#include "app/LogBox.h"
#include "app/ToolDlg.h"
#include "app/Validators.h"
#include "controls/FrameEdit.h"
#include "controls/GroupFrame.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "resources/DialogTemplate.h"
#include "resources/Resources.h"
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>

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

    m_btnCalibrate = Control<CHoverButton>(1077);
    m_progFlash = Control<QProgressBar>(1067);
    m_progEeprom = Control<QProgressBar>(1066);
    m_ledFlash = Control<CLedCtrl>(1004);
    m_btnFlashDownload = Control<CHoverButton>(1019);
    m_btnEepromDownload = Control<CHoverButton>(1018);
    m_btnFlashOpen = Control<CHoverButton>(1031);
    m_btnEepromOpen = Control<CHoverButton>(1030);
    m_btnSwitchToCom = Control<CHoverButton>(1015);
    m_btnSwitchToHid = Control<CHoverButton>(1011);
    m_btnSetting = Control<CHoverButton>(1032);
    m_editVid = Control<CFrameEdit>(1010);
    m_editPid = Control<CFrameEdit>(1009);
    m_ledCom = Control<CLedCtrl>(1003);
    m_ledEeprom = Control<CLedCtrl>(1001);
    m_ledHid = Control<CLedCtrl>(1002);
    m_editEepromFile = Control<QLineEdit>(1027);
    m_editFlashFile = Control<QLineEdit>(1028);
    m_editComPort = Control<QLineEdit>(1020);
    m_editVersion = Control<QLineEdit>(1076);
    m_editLog = Control<QPlainTextEdit>(1000);
    m_cbBaud = Control<QComboBox>(1005);
    m_logBox = std::make_unique<LogBox>(m_strLog, m_editLog);

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
