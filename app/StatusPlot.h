#pragma once
#include "app/StatusHistory.h"
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <memory>

class CToolDlg;
class OperationRecord;
class PlotCanvas;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class StatusRecorder;

// The status plot: a window of its own beside the main window that draws the
// status reports as six curves against receive time (PlotCanvas), from the
// reports the main window's "d" and "n" log (takeReport) and from its own
// Record, which holds the port and reads on a thread of its own
// (StatusRecorder) until Stop. It keeps the last hour of reports
// (StatusHistory) and saves them as CSV or the plot as PNG through the
// window's prompts.
//
// Owned by the main window (its Qt parent), which it asks for the port, the
// line settings, the mode and whether an operation runs; while one runs its
// buttons take no input, as the main window's take none. Window's thread.
class StatusPlot : public QWidget {
    Q_OBJECT
public:
    // How often a recording's reports are taken into the plot, in ms.
    static constexpr int FRAME_MS = 30;
    // How often the counts are shown anew while reports stream in, in ms.
    static constexpr int COUNTS_MS = 250;

    explicit StatusPlot(CToolDlg& owner);
    // Ends a recording (the port is closed, its record completed).
    ~StatusPlot() override;

    // A report as the main window logs it.
    void takeReport(const StatusSample& s);

    const StatusHistory& history() const { return m_history; }
    PlotCanvas* canvas() const { return m_canvas; }
    // Record was clicked and the recording has not ended yet.
    bool recording() const;
    // Reports the current recording has read (for the benchmark).
    qint64 recordedReports() const;

    // --- handlers ---
    void OnRecord();  // Record, or Stop while recording
    void OnPause(bool paused);
    void OnSaveCsv();
    void OnSavePng();

protected:
    // Closing the window ends a recording: nothing holds the port unseen.
    void closeEvent(QCloseEvent*) override;

private:
    void CreateControls();
    void OnFrame();
    void OnRecorderFinished();
    void ShowCounts();
    void ShowRecordButton();
    void ShowMessage(const QString& text);
    // Asks where to save, as "status-<local time>.<suffix>"; empty when
    // cancelled.
    QString AskSavePath(const QString& kind, const QString& suffix) const;
    bool TakesInput() const;

    CToolDlg& m_owner;
    StatusHistory m_history;
    PlotCanvas* m_canvas = nullptr;
    std::unique_ptr<StatusRecorder> m_recorder;
    std::unique_ptr<OperationRecord> m_record;  // the journal's record of the recording
    QTimer m_frame;
    QElapsedTimer m_sinceCounts;
    // Shows the counts again once the last second has passed, so that the
    // rate falls to 0/s when no reports come and no recording runs.
    QTimer m_rateLapse;

    QPushButton* m_btnRecord = nullptr;
    QPushButton* m_btnPause = nullptr;
    QPushButton* m_btnFollow = nullptr;
    QCheckBox* m_chkAutoscale = nullptr;
    QSpinBox* m_spinLo = nullptr;
    QSpinBox* m_spinHi = nullptr;
    QPushButton* m_btnSaveCsv = nullptr;
    QPushButton* m_btnSavePng = nullptr;
    QLabel* m_lblReports = nullptr;
    QLabel* m_lblRate = nullptr;
    QLabel* m_lblIncomplete = nullptr;
    QLabel* m_lblDropped = nullptr;
    QLabel* m_lblReadOut = nullptr;
    QLabel* m_lblMessage = nullptr;
};
