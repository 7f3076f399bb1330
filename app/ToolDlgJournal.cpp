// The window's records of its operations on the controller: the journal,
// opened at the first operation, and what each record says of the
// controller the operation addressed.
#include "app/ToolDlg.h"
#include "hid/HidLink.h"
#include "journal/Journal.h"
#include "journal/JournalOpen.h"
#include "journal/OperationRecord.h"
#include "platform/SerialPortMap.h"
#include "settings/HistorySettings.h"
#include "settings/SettingsFile.h"

Journal* CToolDlg::journal()
{
    if (m_journalOpened)
        return m_journal.get();
    m_journalOpened = true;
    const HistorySettings settings = ReadHistorySettings(SettingsFilePath(QStringLiteral("Config.ini")));
    const Journal::Identity identity{JournalOpen::Station(QString(), settings.station), JournalOpen::Host(),
                                     JournalOpen::Operator(QString()), QStringLiteral(PROJECT_VERSION),
                                     QStringLiteral("window"), m_platform.simulated};
    m_journal = JournalOpen::Open(JournalTarget::Choose(QString(), settings.url), identity);
    if (m_journal)
        connect(m_journal.get(), &Journal::problem, this, [this](const QString& text) {
            // Said once, in the log; shown now unless an operation is
            // running, which shows it at its next refresh.
            Log(QStringLiteral("Journal: %1\r\n").arg(text));
            if (!Busy())
                UpdateData(false);
        });
    return m_journal.get();
}

std::unique_ptr<OperationRecord> CToolDlg::Record(const QString& command, bool overSerial)
{
    auto rec = std::make_unique<OperationRecord>(journal(), command);
    JournalRecord& f = rec->fields();
    f.vid = JournalRecord::Id(m_strVid);
    f.pid = JournalRecord::Id(m_strPid);
    if (overSerial) {
        f.port = m_strComPort.trimmed();
        // Where the port's controller sits, as the serial-port map tells.
        std::vector<SerialPortEntry> ports;
        if (!f.port.isEmpty() && m_platform.portMap && m_platform.portMap->ports(ports))
            for (const SerialPortEntry& e : ports)
                if (QString::fromLocal8Bit(e.portName.c_str()) == f.port) {
                    f.usbPath = QString::fromLocal8Bit(e.usbPath.c_str());
                    f.serial = QString::fromLocal8Bit(e.serialNumber.c_str());
                }
    }
    return rec;
}

void CToolDlg::DescribeHidController(OperationRecord& rec) const
{
    const HidInterface& opened = m_hid->lastInterface();
    rec.fields().usbPath = QString::fromStdString(opened.usbPath);
    rec.fields().serial = QString::fromStdString(opened.serial);
    rec.fields().version = m_strVersion;
}
