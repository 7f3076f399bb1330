// The main window's way to the status plot: Ctrl+P, the log box's menu
// entry, and the reports its mode commands give the plot.
#include "app/StatusPlot.h"
#include "app/ToolDlg.h"
#include "cli/StatusRows.h"
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QShortcut>

void CToolDlg::ConnectPlot()
{
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this);
    connect(shortcut, &QShortcut::activated, this, [this] { OpenStatusPlot(); });
    // The log box's own menu with one entry more, shown as the box shows its
    // own (a popup that deletes itself).
    m_editLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_editLog, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = m_editLog->createStandardContextMenu(pos);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        menu->addAction(QStringLiteral("Status plot..."), this, [this] { OpenStatusPlot(); });
        menu->popup(m_editLog->viewport()->mapToGlobal(pos));
    });
}

StatusPlot* CToolDlg::OpenStatusPlot()
{
    if (!m_plot)
        m_plot = new StatusPlot(*this);
    m_plot->show();
    m_plot->raise();
    m_plot->activateWindow();
    return m_plot;
}

std::function<void(const StatusReport&, std::int64_t)> CToolDlg::PlotSink()
{
    if (!m_plot)
        return {};
    // Stamped as `status --csv` stamps its rows, one command's reports from
    // the UTC time of its first byte.
    return [plot = QPointer<StatusPlot>(m_plot), rows = StatusRows()](const StatusReport& report,
                                                                      std::int64_t sinceFirstByteMs) mutable {
        if (plot)
            plot->takeReport(rows.sample(report, sinceFirstByteMs));
    };
}
