#include "TestSupport.h"
#include "settings/IniFile.h"
#include "settings/SettingsFile.h"
#include <QtTest>

// Where Config.ini (and fx.jpg) come from: the working directory unless it
// has no regular file of that name, then the user's settings folder. (What
// a lookup finds in the file is fuzz_ini's.)
class TestSettingsFile : public QObject {
    Q_OBJECT

    // What to put at a path: nothing, a file, or a node of MakeNode's.
    static bool Make(const QString& path, const QString& kind)
    {
        return kind == "none" || (kind == "file" ? WriteFile(path, "[VID/PID]\n") : MakeNode(path, kind));
    }

private slots:
    void choice_data()
    {
        QTest::addColumn<QString>("here");       // what the working directory holds
        QTest::addColumn<QString>("xdg");        // XDG_CONFIG_HOME: "" unset, "rel" relative, "abs" the test's folder
        QTest::addColumn<QString>("userFile");   // what the user's folder holds
        QTest::addColumn<QString>("expected");   // "here", "xdg" or "home"
        QTest::newRow("file here, none in the user's folder") << "file" << "abs" << "none" << "here";
        QTest::newRow("file here wins over the user's") << "file" << "abs" << "file" << "here";
        QTest::newRow("none here: the user's") << "none" << "abs" << "file" << "xdg";
        QTest::newRow("a folder here: the user's") << "directory" << "abs" << "file" << "xdg";
        QTest::newRow("a FIFO here: the user's") << "fifo" << "abs" << "file" << "xdg";
        QTest::newRow("a dangling link here: the user's") << "dangling link" << "abs" << "file" << "xdg";
        QTest::newRow("none anywhere: the name here") << "none" << "abs" << "none" << "here";
        QTest::newRow("a FIFO in the user's folder too: the name here") << "none" << "abs" << "fifo" << "here";
        QTest::newRow("XDG_CONFIG_HOME unset: ~/.config") << "none" << "" << "file" << "home";
        QTest::newRow("XDG_CONFIG_HOME relative: ~/.config") << "none" << "rel" << "file" << "home";
    }
    void choice()
    {
        QFETCH(QString, here);
        QFETCH(QString, xdg);
        QFETCH(QString, userFile);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const QString work = root.filePath("work"), home = root.filePath("home"), xdgDir = root.filePath("xdg");
        const QString homeTool = home + "/.config/morvax-tool", xdgTool = xdgDir + "/morvax-tool";
        for (const QString& d : {work, homeTool, xdgTool})
            QVERIFY(QDir().mkpath(d));
        QVERIFY(Make(work + "/Config.ini", here));
        // The user's file goes where the variables point; the other place
        // holds a file too, which must not be taken.
        const bool toXdg = xdg == "abs";
        QVERIFY(Make((toXdg ? xdgTool : homeTool) + "/Config.ini", userFile));
        QVERIFY(Make((toXdg ? homeTool : xdgTool) + "/Config.ini", "file"));

        const QByteArray xdgValue = xdg == "abs" ? QFile::encodeName(xdgDir) : xdg == "rel" ? QByteArray("xdg") : QByteArray();
        const QString chosen = ChooseSettingsFile("Config.ini", work, xdgValue, QFile::encodeName(home));
        const QString want = expected == "here" ? work : expected == "xdg" ? xdgTool : homeTool;
        QCOMPARE(chosen, want + "/Config.ini");
    }

    // Without a working-directory path the result is relative to it.
    void relativeToTheWorkingDirectory()
    {
        WorkDir work;
        QVERIFY(WriteFile("fx.jpg", {}));
        QCOMPARE(ChooseSettingsFile("fx.jpg", QString(), "/nonexistent", "/nonexistent"), QString("fx.jpg"));
        QCOMPARE(ChooseSettingsFile("Config.ini", QString(), "/nonexistent", "/nonexistent"), QString("Config.ini"));
        // No such file: the default, cut as a value would be.
        QCOMPARE(GetPrivateProfileString("VID/PID", "VID", "dflt", 260, "Config.ini"), QString("dflt"));
        QCOMPARE(GetPrivateProfileString("VID/PID", "VID", "dflt", 3, "Config.ini"), QString("df"));
    }
};
QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
