// What a screen reader or UI automation reads from the lights, the lamps on
// the switch and calibrate buttons, the mode swatches and the progress bars:
// the state in words, kept up to date as the window's state changes. (A
// light's words for each colour are tst_controls'.)
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include <QProgressBar>
#include <QtTest>

namespace {
// The names of the lights, the three lamps and the four swatches, in that order.
QStringList StateNames(DialogFixture& f)
{
    QStringList names;
    for (QWidget* w : std::initializer_list<QWidget*>{f.dlg->m_ledHid, f.dlg->m_ledCom, f.dlg->m_ledEeprom,
                                                      f.dlg->m_ledFlash, f.dlg->m_btnSwitchToHid,
                                                      f.dlg->m_btnSwitchToCom, f.dlg->m_btnCalibrate})
        names << AccessibleName(w);
    for (ModeSwatch* s : f.dlg->m_swatch)
        names << AccessibleName(s);
    return names;
}
} // namespace

class TestAccessibleNames : public QObject {
    Q_OBJECT
private slots:
    // The window's controls through the handlers that change them.
    void window_data()
    {
        QTest::addColumn<SimKnobs>("knobs");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("names");
        const SimKnobs com = KnobsIn(SimKnobs::Mode::Com), hid = KnobsIn(SimKnobs::Mode::Hid);
        const QStringList none{"d: not marked", "n: not marked", "z: not marked", "$: not marked"};
        QTest::newRow("COM mode at start-up")
            << com << "" << QStringList{"HID light: dark red", "COM light: bright green", "EEPROM light: dark red",
                                        "flash light: dark red", "Switch to HID: grey lamp",
                                        "Switch to COM: green lamp", "Calibrate: grey lamp"} + none;
        QTest::newRow("HID mode after Setting")
            << hid << "setting"
            << QStringList{"HID light: bright green", "COM light: dark red", "EEPROM light: dark red",
                           "flash light: dark red", "Switch to HID: green lamp", "Switch to COM: grey lamp",
                           "Calibrate: grey lamp"} + none;
        QTest::newRow("calibrated")
            << hid << "calibrate"
            << QStringList{"HID light: dark red", "COM light: dark red", "EEPROM light: dark red",
                           "flash light: dark red", "Switch to HID: green lamp", "Switch to COM: grey lamp",
                           "Calibrate: green lamp"} + none;
        QTest::newRow("mode command n")
            << com << "n"
            << QStringList{"HID light: dark red", "COM light: bright green", "EEPROM light: dark red",
                           "flash light: dark red", "Switch to HID: grey lamp", "Switch to COM: green lamp",
                           "Calibrate: grey lamp", "d: not marked", "n: marked", "z: not marked", "$: not marked"};
        QTest::newRow("flash downloaded")
            << com << "flash"
            << QStringList{"HID light: dark red", "COM light: bright green", "EEPROM light: dark red",
                           "flash light: bright green", "Switch to HID: grey lamp", "Switch to COM: green lamp",
                           "Calibrate: grey lamp"} + none;
    }
    void window()
    {
        QFETCH(SimKnobs, knobs);
        QFETCH(QString, action);
        OpenedDialog f(knobs);
        if (action == "setting")
            f.dlg->Run([&] { f.dlg->OnSetting(); });
        else if (action == "calibrate")
            f.dlg->Run([&] { f.dlg->OnCalibrate(); });
        else if (action == "n")
            f.dlg->Run([&] { f.dlg->OnModeN(); });
        else if (action == "flash") {
            f.dlg->m_strFlashFile = f.dir.filePath("fw.mvx");
            QVERIFY(WriteFile(f.dlg->m_strFlashFile, Lines(227)));
            f.dlg->Run([&] { f.dlg->OnFlashDownload(); });
            QCOMPARE(f.prompts.messages, QStringList{"DownLoad Successful!"});
        }
        QTEST(StateNames(f), "names");
    }

    // A bar counts the records of the download in progress, then is back at 0.
    void progressBar()
    {
        OpenedDialog f;
        QCOMPARE(AccessibleName(f.dlg->m_progFlash), QStringLiteral("flash progress: 0"));
        QStringList seen;
        connect(f.dlg->m_progEeprom, &QProgressBar::valueChanged, this,
                [&](int v) { if (v == 1 || v == 12) seen << AccessibleName(f.dlg->m_progEeprom); });
        f.dlg->m_strEepromFile = f.dir.filePath("fw.eep.mvx");
        QVERIFY(WriteFile(f.dlg->m_strEepromFile, Lines(20)));
        f.dlg->Run([&] { f.dlg->OnEepromDownload(); });
        QCOMPARE(seen, (QStringList{"EEPROM progress: 1 of 20", "EEPROM progress: 12 of 20"}));
        QCOMPARE(AccessibleName(f.dlg->m_progEeprom), QStringLiteral("EEPROM progress: 0"));
    }
};
QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
