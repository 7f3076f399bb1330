// The serial link's handlers: the search for the controller's serial port,
// the baud list and the four mode commands.
#include "serial/SerialPortRule.h"
#include "app/ModeIndication.h"
#include "app/ToolDlg.h"
#include "cli/ExitStatus.h"
#include "journal/OperationRecord.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "operations/ModeCommand.h"
#include "operations/StatusReportParser.h"
#include "platform/SerialPortMap.h"
#include "resources/Resources.h"
#include "serial/BaudTable.h"
#include "serial/SerialTransport.h"
#include <QComboBox>

QString CToolDlg::FindUsbSerialPort() const
{
    std::vector<SerialPortEntry> ports;
    if (!m_platform.portMap || !m_platform.portMap->ports(ports))
        return {};
    return SerialPortRule::FindPort(ports);
}

void CToolDlg::SearchSerialPortAtStartup()
{
    const QString port = FindUsbSerialPort();
    if (!port.isEmpty()) {
        m_strComPort = port;
        m_cbBaud->setCurrentIndex(BaudTable::DEFAULT_INDEX);
        UpdateData(false);
        ShowMode(Indications::PORT_AT_START);
    } else {
        ShowMode(Indications::NO_PORT_AT_START);
    }
}

void CToolDlg::OnSelchangeBaud()
{
    const QString entry = m_cbBaud->itemText(m_cbBaud->currentIndex());
    UpdateData(true);
    Log(QStringLiteral("Com is: ") + m_strComPort + QStringLiteral("\r\n\r\n") + QStringLiteral("Baud is: ") + entry +
        QStringLiteral("bps") + QStringLiteral("\r\n\r\n"));
    UpdateData(false);
    m_transport->lineSettings().choose(BaudTable::settingsFor(entry));
    SetLight(m_ledCom, LED_GREEN);
}

namespace {
// How the window shows each mode command, in ModeCommand::Id order.
struct ModeFace {
    // The controls are reloaded once at the end; otherwise ("d") with each
    // line the command logs.
    bool reloadsControls;
    // What each of the four swatches gets: the mark text for the command's
    // own swatch, an invisible blanking text for the others.
    const char* swatchText[ModeCommand::COUNT];
};
const ModeFace FACES[ModeCommand::COUNT] = {
    {false, {"  d  ", "9dsdada", "adsdada", "adsdada"}},
    {true, {"9dsdada", "  n  ", "adsdada", "adsdada"}},
    {true, {"adsdada", "9dsdada", "  z  ", "adsdada"}},
    {true, {"adsdada", "9dsdada", "adsdada", "  $  "}},
};

void RunModeCommand(CToolDlg& dlg, ModeCommand::Id id)
{
    const ModeCommand& cmd = ModeCommand::get(id);
    const ModeFace& face = FACES[id];
    if (dlg.g_bComMode == 0) {
        dlg.MessageBox(QString::fromLatin1(cmd.notInComMode));
        return;
    }
    const std::unique_ptr<OperationRecord> rec =
        dlg.Record(QStringLiteral("status-") + QLatin1Char("dnz$"[id]), true);
    rec->begin();
    const auto plot = dlg.PlotSink();
    const ModeCommand::Result result =
        cmd.exchange(*dlg.m_transport, *dlg.m_parser, *dlg.m_platform.clock, dlg.m_strComPort,
                     [&dlg, &plot](const StatusReport& report, std::int64_t sinceFirstByteMs) {
                         dlg.Log(report.text + QStringLiteral("\r\n"));
                         dlg.UpdateData(false);
                         if (plot)
                             plot(report, sinceFirstByteMs);
                     });
    // Why the command failed, shown as this command shows its other lines:
    // "d" refreshes with each line it logs, the others once at the end.
    if (!result.failure.ok()) {
        dlg.Log(dlg.SerialFailureLine(result.failure) + QStringLiteral("\r\n"));
        if (!face.reloadsControls)
            dlg.UpdateData(false);
    }
    if (face.reloadsControls)
        dlg.UpdateData(false);
    if (result.failure.ok())
        rec->finish(OperationRecord::Result::Ok, EXIT_OK, QString());
    else
        rec->finish(OperationRecord::Result::Failed, ExitStatusOf(result.failure), QString(), result.failure.line());
    // A command that did not reach the controller marks nothing.
    if (!result.sent)
        return;
    // The swatches keep what is drawn into them, so the mark survives the
    // next redraw of the window.
    const QColor button = dlg.palette().color(QPalette::Button);
    dlg.m_swatch[id]->draw(QString::fromLatin1(face.swatchText[id]), QColor(0, 255, 0), Qt::black);
    for (int i = 0; i < ModeCommand::COUNT; ++i)
        if (i != id)
            dlg.m_swatch[i]->draw(QString::fromLatin1(face.swatchText[i]), button, button);
}
} // namespace

void CToolDlg::OnModeD() { RunModeCommand(*this, ModeCommand::D); }
void CToolDlg::OnModeN() { RunModeCommand(*this, ModeCommand::N); }
void CToolDlg::OnModeZ() { RunModeCommand(*this, ModeCommand::Z); }
void CToolDlg::OnModeDollar() { RunModeCommand(*this, ModeCommand::Dollar); }
