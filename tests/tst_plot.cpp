// The status plot window on the simulated controller: how it opens, the
// reports it takes from the main window's mode commands and from its own
// Record, what it paints, and what it saves.
#include "TestSupport.h"
#include "app/PlotCanvas.h"
#include "app/StatusPlot.h"
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>
#include <ctime>

namespace {
const std::int8_t SIM_VALUES[6] = {1, -2, 30, 127, 0, -56};  // the simulator's, as a report carries them

QAbstractButton* ButtonNamed(QWidget* window, const QString& name)
{
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (AccessibleName(b) == name)
            return b;
    return nullptr;
}

QLabel* LabelSaying(QWidget* window, const QString& text)
{
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->text() == text)
            return l;
    return nullptr;
}

// The report lines of the main window's log.
int LoggedReports(DialogFixture& f)
{
    return int(f.dlg->m_strLog.split(QStringLiteral("\r\n")).filter(QRegularExpression(QStringLiteral("^\\$ "))).size());
}

// The report received at utcMs with v1 = first, the rest 0; carried values.
StatusSample Sample(std::int64_t utcMs, int first, int carried = 6)
{
    StatusSample s;
    s.utcMs = utcMs;
    s.values[0] = static_cast<std::int8_t>(first);
    s.carried = static_cast<std::uint8_t>(carried);
    return s;
}

// Pixels of value k's colour in column x of the plot area.
QList<int> CurveRows(const QImage& img, const QRect& area, int x, int k)
{
    QList<int> rows;
    for (int y = area.top(); y <= area.bottom(); ++y)
        if (img.pixelColor(x, y) == PlotCanvas::CurveColor(k))
            rows << y;
    return rows;
}
} // namespace

class TestPlot : public QObject {
    Q_OBJECT
private slots:
    // A zone away from UTC, so that a local time cannot pass for UTC.
    void initTestCase()
    {
        qputenv("TZ", "Asia/Tokyo");
        tzset();
    }

    void opensBesideTheMainWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Ctrl+P") << "shortcut";
        QTest::newRow("the log box's menu") << "menu";
    }
    void opensBesideTheMainWindow()
    {
        QFETCH(QString, how);
        OpenedDialog f;
        const QString log = f.dlg->m_strLog, shown = f.shownLog();
        if (how == "shortcut") {
            QApplication::setActiveWindow(f.dlg.get());
            QTest::keyClick(f.dlg.get(), Qt::Key_P, Qt::ControlModifier);
        } else {
            QWidget* box = f.dlg->m_editLog->viewport();
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(box, &click);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            // The box's own entries are still there, the plot's last.
            const QList<QAction*> actions = menu->actions();
            QVERIFY(actions.size() > 3);
            QVERIFY(actions.first()->text().contains(QStringLiteral("Undo")));
            QCOMPARE(actions.last()->text(), QStringLiteral("Status plot..."));
            actions.last()->trigger();
            menu->close();
        }
        StatusPlot* plot = f.dlg->m_plot;
        QVERIFY(plot);
        QVERIFY(plot->isVisible());
        QCOMPARE(plot->windowTitle(), QStringLiteral("Status plot"));
        QCOMPARE(plot->windowType(), Qt::Window);
        QCOMPARE(plot->parentWidget(), f.dlg.get());
        QVERIFY(!plot->isModal());
        QCOMPARE(f.dlg->m_strLog, log);
        QCOMPARE(f.shownLog(), shown);
        // Every control says what it is to a screen reader.
        for (QWidget* w : plot->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!AccessibleName(w).isEmpty(), w->metaObject()->className());
    }

    // The reports of a "d" or "n" click, as the main window logs them; the
    // incomplete ones are counted and not drawn.
    void takesTheReportsTheWindowLogs_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("fields");
        QTest::addColumn<bool>("openedFirst");
        QTest::newRow("d") << 0 << 6 << true;
        QTest::newRow("n") << 1 << 6 << true;
        QTest::newRow("d, lines of three") << 0 << 3 << true;
        QTest::newRow("d before the plot was opened") << 0 << 6 << false;
    }
    void takesTheReportsTheWindowLogs()
    {
        QFETCH(int, button);
        QFETCH(int, fields);
        QFETCH(bool, openedFirst);
        SimKnobs knobs;
        knobs.statusFields = fields;
        OpenedDialog f(knobs);
        if (openedFirst)
            f.dlg->OpenStatusPlot();
        QTest::mouseClick(f.dlg->m_radio[button], Qt::LeftButton);
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        const int logged = LoggedReports(f);
        QVERIFY(logged > 10);
        const StatusHistory& h = plot->history();
        const int taken = openedFirst ? logged : 0;
        QCOMPARE(h.size(), taken);
        QCOMPARE(h.complete(), fields == 6 ? taken : 0);
        QCOMPARE(h.incomplete(), fields == 6 ? 0 : taken);
        for (qsizetype i = 0; i < h.size(); ++i) {
            QCOMPARE(int(h.at(i).carried), fields);
            QVERIFY(std::equal(h.at(i).values, h.at(i).values + fields, SIM_VALUES));
        }
        // One read brought them all: one column, each value's own pixel.
        const QImage img = plot->canvas()->grab().toImage();
        const QRect area = plot->canvas()->plotArea();
        for (int k = 0; k < 6; ++k)
            QCOMPARE(CountPixels(img, area, [k](QColor c) { return c == PlotCanvas::CurveColor(k); }) > 0,
                     taken > 0 && fields == 6);
    }

    // Each pixel column shows the least and the greatest value of the reports
    // in it, so reports narrower than a pixel still show even where the
    // column's first and last reports are the ordinary ones; an incomplete
    // report shows nowhere.
    void columnsShowTheirExtremes_data()
    {
        QTest::addColumn<int>("carried");  // by the +100 report
        QTest::addColumn<bool>("up");      // +100 shows
        QTest::newRow("a spike and a dip within a column") << 6 << true;
        QTest::newRow("an incomplete spike and a dip") << 5 << false;
    }
    void columnsShowTheirExtremes()
    {
        QFETCH(int, carried);
        QFETCH(bool, up);
        OpenedDialog f;
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        ButtonNamed(plot, "Autoscale")->click();  // the fixed range, -128 to 127
        // v1 at -50 every 5 ms over the 10 s shown, several reports to a pixel
        // column; in the middle column +100 and -100 between two of them.
        const std::int64_t start = 1'700'000'000'000;
        for (int i = 0; i <= 2000; ++i) {
            plot->takeReport(Sample(start + 5 * i, -50));
            if (i == 1000) {
                plot->takeReport(Sample(start + 5 * i + 1, 100, carried));
                plot->takeReport(Sample(start + 5 * i + 2, -100));
            }
        }
        PlotCanvas* canvas = plot->canvas();
        const QImage img = canvas->grab().toImage();
        const QRect area = canvas->plotArea();
        const int x = area.left() + area.width() / 2;  // 5 s of 10
        const int yUp = area.bottom() - int(std::lround(228.0 / 255 * (area.height() - 1)));
        const int yDown = area.bottom() - int(std::lround(28.0 / 255 * (area.height() - 1)));
        const QList<int> rows = CurveRows(img, area, x, 0);
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows.first() <= yUp, up);
        QVERIFY(rows.last() >= yDown);
        QCOMPARE(plot->history().incomplete(), carried < 6 ? 1 : 0);
        // Its neighbours show only the ordinary reports.
        QCOMPARE(CurveRows(img, area, x - 2, 0).size(), 1);
    }

    // Record holds the port and plots what comes until Stop; a quiet line
    // ends nothing, and the main window's own commands find the port busy.
    void recordsUntilStop_data()
    {
        QTest::addColumn<int>("rate");  // of the controller's stream; 0: one burst, then quiet
        QTest::newRow("a burst, then a quiet line") << 0;
        QTest::newRow("200 reports a second") << 200;
    }
    void recordsUntilStop()
    {
        QFETCH(int, rate);
        SimKnobs knobs;
        knobs.statusRate = rate;
        OpenedDialog f(knobs);
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        QAbstractButton* record = ButtonNamed(plot, "Record");
        QVERIFY(record);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(AccessibleName(record), QStringLiteral("Stop"));
        QCOMPARE(record->text(), QStringLiteral("Stop"));
        const StatusHistory& h = plot->history();
        QTRY_VERIFY(h.complete() > 10);
        QTest::qWait(300);
        QVERIFY(plot->recording());

        const QString port = f.controller().portName();
        const QString before = f.dlg->m_strLog;
        QTest::mouseClick(f.dlg->m_radio[1], Qt::LeftButton);
        QVERIFY2(f.dlg->m_strLog.startsWith(port + QStringLiteral(": busy")), qPrintable(f.dlg->m_strLog));
        QVERIFY2(f.dlg->m_strLog.section(u'\n', 0, 0).contains(QStringLiteral("the status plot is recording from it")),
                 qPrintable(f.dlg->m_strLog));
        QCOMPARE(f.dlg->m_strLog.size() - before.size(), f.dlg->m_strLog.indexOf(u'\n') + 1);
        QCOMPARE(LoggedReports(f), 0);  // Record's reports are the plot's alone
        QCOMPARE(f.controller().serialLog(), QByteArray("nn"));

        QTest::mouseClick(record, Qt::LeftButton);
        QTRY_COMPARE(AccessibleName(record), QStringLiteral("Record"));
        QCOMPARE(record->text(), QStringLiteral("Record"));
        QVERIFY(!plot->recording());
        const qint64 taken = h.size();
        QCOMPARE(taken, plot->recordedReports());
        QTest::qWait(100);
        QCOMPARE(h.size(), taken);
        QTRY_VERIFY(!f.controller().streaming());  // the controller saw the port closed
        QTRY_VERIFY(LabelSaying(plot, QStringLiteral("Rate: 0/s")));  // no reports come any more
        // The port is free again: "n" gets its reports, into the log.
        QTest::mouseClick(f.dlg->m_radio[1], Qt::LeftButton);
        QVERIFY(LoggedReports(f) > 0);
        QTRY_COMPARE(f.controller().serialLog(), QByteArray("nnnn"));
    }

    // A controller pulled out while Record reads ends the recording by
    // itself, with the port's reason, and lets the port go.
    void recordingEndsWhenTheControllerGoes()
    {
        SimKnobs knobs;
        knobs.statusRate = 200;
        OpenedDialog f(knobs);
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        QTest::mouseClick(ButtonNamed(plot, "Record"), Qt::LeftButton);
        QTRY_VERIFY(plot->history().complete() > 10);
        const QString port = f.dlg->m_strComPort;
        f.controller().unplug();
        QTRY_VERIFY(!plot->recording());
        QVERIFY(ButtonNamed(plot, "Record"));
        QVERIFY(LabelSaying(plot, port + QStringLiteral(": read: the device is gone (Input/output error)")));
    }

    void pauseFreezesTheViewWhileRecording()
    {
        SimKnobs knobs;
        knobs.statusRate = 200;
        OpenedDialog f(knobs);
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        PlotCanvas* canvas = plot->canvas();
        const StatusHistory& h = plot->history();
        QTest::mouseClick(ButtonNamed(plot, "Record"), Qt::LeftButton);
        QTRY_VERIFY(h.complete() > 50);
        QTest::mouseClick(ButtonNamed(plot, "Pause"), Qt::LeftButton);
        const QImage paused = canvas->grab().toImage();
        const qint64 atPause = h.complete();
        QTRY_VERIFY(h.complete() > atPause + 100);
        QCOMPARE(canvas->grab().toImage(), paused);
        QVERIFY(plot->recording());
        QTest::mouseClick(ButtonNamed(plot, "Pause"), Qt::LeftButton);
        QVERIFY(canvas->grab().toImage() != paused);
        QTest::mouseClick(ButtonNamed(plot, "Stop"), Qt::LeftButton);
        QTRY_VERIFY(!plot->recording());
    }

    // While an operation of the main window runs (here its message box is
    // up), the plot's buttons take no input either.
    void buttonsRestDuringAnOperation()
    {
        OpenedDialog f(KnobsIn(SimKnobs::Mode::Hid));
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        f.prompts.saveFiles << f.dir.filePath(QStringLiteral("during.csv"));
        f.prompts.onMessage = [&](const QString&) {
            f.dlg->g_bComMode = 1;  // so that Record would start, were it let
            ButtonNamed(plot, "Record")->click();
            ButtonNamed(plot, "Save as CSV")->click();
        };
        QTest::mouseClick(f.dlg->m_radio[1], Qt::LeftButton);  // "n" in HID mode: a message
        QCOMPARE(f.prompts.messages, QStringList{"Please switch to COM mode!"});
        QVERIFY(!plot->recording());
        QCOMPARE(f.prompts.saveFiles.size(), 1);
    }

    // The CSV file has the columns and rows `status --csv` prints for the same
    // reports; the time is the UTC time of the read that brought each. (The
    // window's parser keeps a line cut by one command's read for the next
    // command, so each row here is one command's.)
    void savesTheReportsAsCsv_data()
    {
        QTest::addColumn<QString>("buttons");  // the mode commands clicked, in order
        QTest::addColumn<int>("fields");
        QTest::addColumn<QString>("values");   // each row's, after time_utc and ms
        QTest::newRow("d") << "d" << 6 << "1,-2,30,127,0,-56";
        QTest::newRow("lines of three") << "d" << 3 << "1,-2,30,,,";
        QTest::newRow("n") << "n" << 6 << "1,-2,30,127,0,-56";
        QTest::newRow("nothing, then cancelled") << "" << 6 << "";
    }
    void savesTheReportsAsCsv()
    {
        QFETCH(QString, buttons);
        QFETCH(int, fields);
        QFETCH(QString, values);
        SimKnobs knobs;
        knobs.statusFields = fields;
        OpenedDialog f(knobs);
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        const qint64 first = QDateTime::currentMSecsSinceEpoch();
        QStringList rows{QStringLiteral("time_utc,ms,v1,v2,v3,v4,v5,v6")};
        for (const QChar b : buttons) {
            const int before = LoggedReports(f);
            QTest::mouseClick(f.dlg->m_radio[b == u'd' ? 0 : 1], Qt::LeftButton);
            // The ms of the one read: after the command's last byte and its pause.
            const int ms = (b == u'd' ? 4 : 2) * 30;
            for (int i = before; i < LoggedReports(f); ++i)
                rows << QStringLiteral("TIME,%1,%2").arg(ms).arg(values);
        }
        const qint64 last = QDateTime::currentMSecsSinceEpoch();
        const QString path = f.dir.filePath(QStringLiteral("plot.csv"));
        f.prompts.saveFiles << (buttons.isEmpty() ? QString() : path);
        QTest::mouseClick(ButtonNamed(plot, "Save as CSV"), Qt::LeftButton);
        QCOMPARE(f.prompts.saveFilters, QStringList{"CSV (*.csv)"});
        if (buttons.isEmpty()) {
            QVERIFY(!QFile::exists(path));
            return;
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList saved = QString::fromLatin1(file.readAll()).split(u'\n');
        QCOMPARE(saved.takeLast(), QString());  // every line ends with LF
        QCOMPARE(saved.size(), rows.size());
        const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z"));
        for (qsizetype i = 1; i < saved.size(); ++i) {
            const QString stamp = time.match(saved[i]).captured();
            QVERIFY2(!stamp.isEmpty(), qPrintable(saved[i]));
            const qint64 at = QDateTime::fromString(stamp, Qt::ISODateWithMs).toMSecsSinceEpoch();
            QVERIFY(at >= first && at <= last);
            rows[i].replace(QStringLiteral("TIME"), stamp);
        }
        QCOMPARE(saved, rows);
    }

    void savesThePlotAsShown()
    {
        OpenedDialog f;
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        QTest::mouseClick(f.dlg->m_radio[0], Qt::LeftButton);
        const QString path = f.dir.filePath(QStringLiteral("plot.png"));
        f.prompts.saveFiles << path;
        QTest::mouseClick(ButtonNamed(plot, "Save as PNG"), Qt::LeftButton);
        QCOMPARE(f.prompts.saveFilters, QStringList{"PNG (*.png)"});
        const QImage shown = plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), shown);
    }

    // An hour of reports by receive time is kept; the older ones go, and the
    // window says how many.
    void keepsTheLastHour_data()
    {
        QTest::addColumn<int>("minutes");  // one report a minute, over this many minutes
        QTest::addColumn<int>("dropped");
        QTest::newRow("half an hour") << 30 << 0;
        QTest::newRow("an hour exactly") << 60 << 0;
        QTest::newRow("an hour and a half") << 90 << 30;
    }
    void keepsTheLastHour()
    {
        QFETCH(int, minutes);
        QFETCH(int, dropped);
        OpenedDialog f;
        StatusPlot* plot = f.dlg->OpenStatusPlot();
        for (int m = 0; m <= minutes; ++m)
            plot->takeReport(Sample(std::int64_t(m) * 60'000, 0));
        QCOMPARE(plot->history().size(), minutes + 1 - dropped);
        QCOMPARE(plot->history().complete(), minutes + 1);
        QLabel* label = LabelSaying(plot, QStringLiteral("Older than an hour, let go: %1").arg(dropped));
        QVERIFY(label);
        QCOMPARE(label->isVisibleTo(plot), dropped > 0);
    }
};

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
