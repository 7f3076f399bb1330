#include "app/StatusPlot.h"
#include "app/PlotCanvas.h"
#include "app/StatusCsv.h"
#include "app/StatusRecorder.h"
#include "app/ToolDlg.h"
#include "cli/ExitStatus.h"
#include "journal/OperationRecord.h"
#include "operations/ModeCommand.h"
#include "platform/Prompts.h"
#include "serial/SerialTransport.h"
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

StatusPlot::StatusPlot(CToolDlg& owner)
    : QWidget(&owner, Qt::Window), m_owner(owner), m_recorder(std::make_unique<StatusRecorder>(*owner.m_platform.clock))
{
    setWindowTitle(QStringLiteral("Status plot"));
    setWindowModality(Qt::NonModal);
    CreateControls();
    resize(800, 500);
    m_frame.setInterval(FRAME_MS);
    m_frame.setTimerType(Qt::PreciseTimer);
    connect(&m_frame, &QTimer::timeout, this, &StatusPlot::OnFrame);
    connect(m_recorder.get(), &StatusRecorder::finished, this, &StatusPlot::OnRecorderFinished);
    m_sinceCounts.start();
    m_rateLapse.setSingleShot(true);
    m_rateLapse.setInterval(1000);
    connect(&m_rateLapse, &QTimer::timeout, this, &StatusPlot::ShowCounts);
    ShowCounts();
}

StatusPlot::~StatusPlot()
{
    // The recording's thread lets go of the port before its record is
    // completed; the record is completed as the recording ended.
    const bool wasRecording = m_recorder->running();
    m_recorder.reset();
    if (m_record && wasRecording)
        m_record->finish(OperationRecord::Result::Cancelled, EXIT_OK, QStringLiteral("the plot window went"));
}

void StatusPlot::CreateControls()
{
    auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setAccessibleName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_btnRecord = button(QStringLiteral("Record"), QStringLiteral("Record"));
    m_btnRecord->setToolTip(QStringLiteral("Sends n and plots what comes until Stop"));
    m_btnPause = button(QStringLiteral("Pause"), QStringLiteral("Pause"));
    m_btnPause->setCheckable(true);
    m_btnFollow = button(QStringLiteral("Follow"), QStringLiteral("Follow newest"));
    m_btnFollow->setEnabled(false);
    m_chkAutoscale = new QCheckBox(QStringLiteral("Autoscale"), this);
    m_chkAutoscale->setAccessibleName(QStringLiteral("Autoscale"));
    m_chkAutoscale->setChecked(true);
    auto spin = [this](int value, const QString& name) {
        auto* s = new QSpinBox(this);
        s->setRange(-1000, 1000);
        s->setValue(value);
        s->setAccessibleName(name);
        s->setEnabled(false);
        return s;
    };
    m_spinLo = spin(-128, QStringLiteral("Range minimum"));
    m_spinHi = spin(127, QStringLiteral("Range maximum"));
    auto* lblLo = new QLabel(QStringLiteral("Min"), this);
    auto* lblHi = new QLabel(QStringLiteral("Max"), this);
    lblLo->setBuddy(m_spinLo);
    lblHi->setBuddy(m_spinHi);
    m_btnSaveCsv = button(QStringLiteral("Save as CSV"), QStringLiteral("Save as CSV"));
    m_btnSavePng = button(QStringLiteral("Save as PNG"), QStringLiteral("Save as PNG"));

    m_canvas = new PlotCanvas(m_history, this);
    m_lblReports = new QLabel(this);
    m_lblRate = new QLabel(this);
    m_lblIncomplete = new QLabel(this);
    m_lblDropped = new QLabel(this);
    m_lblReadOut = new QLabel(this);
    m_lblReadOut->setAccessibleName(QStringLiteral("Values under the pointer: none"));
    m_lblMessage = new QLabel(this);
    m_lblMessage->setAccessibleName(QStringLiteral("Message: none"));
    m_lblMessage->setWordWrap(true);

    auto* bar = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{m_btnRecord, m_btnPause, m_btnFollow})
        bar->addWidget(w);
    bar->addSpacing(16);
    for (QWidget* w : std::initializer_list<QWidget*>{m_chkAutoscale, lblLo, m_spinLo, lblHi, m_spinHi})
        bar->addWidget(w);
    bar->addStretch(1);
    bar->addWidget(m_btnSaveCsv);
    bar->addWidget(m_btnSavePng);
    auto* counts = new QHBoxLayout;
    for (QLabel* l : {m_lblReports, m_lblRate, m_lblIncomplete, m_lblDropped})
        counts->addWidget(l);
    counts->addStretch(1);
    counts->addWidget(m_lblReadOut);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_canvas, 1);
    layout->addLayout(counts);
    layout->addWidget(m_lblMessage);

    connect(m_btnRecord, &QPushButton::clicked, this, [this] { OnRecord(); });
    connect(m_btnPause, &QPushButton::toggled, this, [this](bool on) { OnPause(on); });
    connect(m_btnFollow, &QPushButton::clicked, m_canvas, &PlotCanvas::follow);
    connect(m_chkAutoscale, &QCheckBox::toggled, this, [this](bool on) {
        m_spinLo->setEnabled(!on);
        m_spinHi->setEnabled(!on);
        m_canvas->setAutoscale(on);
    });
    auto fixed = [this] { m_canvas->setFixedRange(m_spinLo->value(), m_spinHi->value()); };
    connect(m_spinLo, &QSpinBox::valueChanged, this, fixed);
    connect(m_spinHi, &QSpinBox::valueChanged, this, fixed);
    connect(m_btnSaveCsv, &QPushButton::clicked, this, [this] { OnSaveCsv(); });
    connect(m_btnSavePng, &QPushButton::clicked, this, [this] { OnSavePng(); });
    connect(m_canvas, &PlotCanvas::readOutChanged, this, [this](const QString& text) {
        m_lblReadOut->setText(text);
        m_lblReadOut->setAccessibleName(QStringLiteral("Values under the pointer: ") +
                                        (text.isEmpty() ? QStringLiteral("none") : text));
    });
    connect(m_canvas, &PlotCanvas::viewChanged, this, [this] {
        // Pause follows the canvas when a double click or Home ends a pause.
        const QSignalBlocker quiet(m_btnPause);
        m_btnPause->setChecked(m_canvas->paused());
        m_btnFollow->setEnabled(m_canvas->paused() || m_canvas->zoomed());
    });
}

bool StatusPlot::TakesInput() const { return !m_owner.Busy(); }

bool StatusPlot::recording() const { return m_recorder->running(); }

qint64 StatusPlot::recordedReports() const { return m_recorder->received(); }

void StatusPlot::takeReport(const StatusSample& s)
{
    m_history.add(s);
    m_canvas->historyChanged();
    ShowCounts();
}

void StatusPlot::OnRecord()
{
    if (!TakesInput())
        return;
    if (m_recorder->running()) {
        // The button comes back as Record once the port is closed.
        m_recorder->stop();
        m_btnRecord->setEnabled(false);
        return;
    }
    if (m_owner.g_bComMode == 0) {
        ShowMessage(QString::fromLatin1(ModeCommand::get(ModeCommand::N).notInComMode));
        return;
    }
    m_record = m_owner.Record(QStringLiteral("status-n"), true);
    m_record->begin();
    m_recorder->start(m_owner.m_strComPort, m_owner.m_transport->lineSettings().settings());
    m_frame.start();
    ShowRecordButton();
    ShowMessage(QStringLiteral("Recording from %1").arg(m_owner.m_strComPort));
}

void StatusPlot::OnRecorderFinished()
{
    OnFrame();  // what came last
    m_frame.stop();
    const DeviceOutcome& outcome = m_recorder->outcome();
    if (outcome.ok()) {
        if (m_record)
            m_record->finish(OperationRecord::Result::Ok, EXIT_OK, QString());
        ShowMessage(m_recorder->hitLimit() ? QStringLiteral("Recording ended after an hour")
                                           : QStringLiteral("Recording stopped"));
    } else {
        if (m_record)
            m_record->finish(OperationRecord::Result::Failed, ExitStatusOf(outcome), QString(), outcome.line());
        ShowMessage(outcome.line());
    }
    m_record.reset();
    ShowRecordButton();
    ShowCounts();
}

void StatusPlot::OnFrame()
{
    const std::vector<StatusSample> samples = m_recorder->take();
    for (const StatusSample& s : samples)
        m_history.add(s);
    if (!samples.empty())
        m_canvas->historyChanged();
    if (m_sinceCounts.elapsed() >= COUNTS_MS)
        ShowCounts();
}

void StatusPlot::OnPause(bool paused)
{
    m_canvas->setPaused(paused);
}

void StatusPlot::OnSaveCsv()
{
    if (!TakesInput())
        return;
    const QString path = AskSavePath(QStringLiteral("CSV"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (StatusCsv::Write(m_history, path, error))
        ShowMessage(QStringLiteral("Saved %1 reports to %2").arg(m_history.size()).arg(path));
    else
        ShowMessage(QStringLiteral("Could not save %1: %2").arg(path, error));
}

void StatusPlot::OnSavePng()
{
    if (!TakesInput())
        return;
    const QString path = AskSavePath(QStringLiteral("PNG"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    if (m_canvas->grab().save(path, "PNG"))
        ShowMessage(QStringLiteral("Saved the plot to %1").arg(path));
    else
        ShowMessage(QStringLiteral("Could not save %1").arg(path));
}

QString StatusPlot::AskSavePath(const QString& kind, const QString& suffix) const
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return m_owner.m_platform.prompts->saveFileName(QStringLiteral("%1 (*.%2)").arg(kind, suffix),
                                                    QStringLiteral("status-%1.%2").arg(stamp, suffix));
}

void StatusPlot::ShowCounts()
{
    m_sinceCounts.restart();
    m_lblReports->setText(QStringLiteral("Reports: %1").arg(m_history.complete()));
    const qint64 rate = m_history.lastSecond(QDateTime::currentMSecsSinceEpoch());
    m_lblRate->setText(QStringLiteral("Rate: %1/s").arg(rate));
    if (rate > 0 && !m_frame.isActive())
        m_rateLapse.start();
    m_lblIncomplete->setText(QStringLiteral("Incomplete: %1").arg(m_history.incomplete()));
    m_lblDropped->setText(QStringLiteral("Older than an hour, let go: %1").arg(m_history.dropped()));
    m_lblDropped->setVisible(m_history.dropped() > 0);
}

void StatusPlot::ShowRecordButton()
{
    const QString caption = m_recorder->running() ? QStringLiteral("Stop") : QStringLiteral("Record");
    m_btnRecord->setText(caption);
    m_btnRecord->setAccessibleName(caption);
    m_btnRecord->setEnabled(true);
}

void StatusPlot::ShowMessage(const QString& text)
{
    m_lblMessage->setText(text);
    m_lblMessage->setAccessibleName(QStringLiteral("Message: ") + (text.isEmpty() ? QStringLiteral("none") : text));
}

void StatusPlot::closeEvent(QCloseEvent* e)
{
    if (m_recorder->running())
        m_recorder->stop();
    QWidget::closeEvent(e);
}
