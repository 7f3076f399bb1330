#include "settings/IniFile.h"
#include <QTemporaryDir>
#include <QtTest>

// The settings-file lookup: what the VID and PID boxes get from Config.ini.
class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("pid");
        QTest::newRow("plain") << QByteArray("[VID/PID]\nVID=2f5a\nPID=0107\n") << "2f5a" << "0107";
        QTest::newRow("crlf, blanks, case") << QByteArray("[ vid/pid ]\r\n  vid = 2F5A \r\nPid=0107\r\n") << "2F5A"
                                            << "0107";
        QTest::newRow("quoted") << QByteArray("[VID/PID]\nVID=\"2f5a\"\nPID='0107'\n") << "2f5a" << "0107";
        QTest::newRow("no section") << QByteArray("VID=2f5a\nPID=0107\n") << "" << "";
        QTest::newRow("other section") << QByteArray("[IDS]\nVID=2f5a\n[VID/PID]\nPID=0107\n") << "" << "0107";
        QTest::newRow("key in a later section ignored")
            << QByteArray("[VID/PID]\nPID=0107\n[X]\nVID=2f5a\n") << "" << "0107";
        QTest::newRow("first key wins") << QByteArray("[VID/PID]\nVID=1111\nVID=2222\n") << "1111" << "";
        QTest::newRow("empty value") << QByteArray("[VID/PID]\nVID=\nPID\n") << "" << "";
        QTest::newRow("empty file") << QByteArray() << "" << "";
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF[VID/PID]\nVID=2f5a\n") << "2f5a" << "";
        QTest::newRow("binary") << QByteArray("\x00\xff[\x01\x02]=\xfe\n\x00VID=1\n", 16) << "" << "";
        QTest::newRow("value over 40 kept") << QByteArray("[VID/PID]\nVID=" + QByteArray(45, 'a') + "\n")
                                            << QString(45, u'a') << "";
        QTest::newRow("value cut to 259") << QByteArray("[VID/PID]\nVID=" + QByteArray(300, 'b') + "\n")
                                          << QString(259, u'b') << "";
    }
    void lookup()
    {
        QFETCH(QByteArray, contents);
        QTEST(ProfileLookup(contents, "VID/PID", "VID", QString(), 260), "vid");
        QTEST(ProfileLookup(contents, "VID/PID", "PID", QString(), 260), "pid");
    }

    void missingFileGivesTheDefault()
    {
        QTemporaryDir dir;
        QCOMPARE(GetPrivateProfileString("VID/PID", "VID", "", 260, dir.filePath("Config.ini")), QString());
        QCOMPARE(GetPrivateProfileString("VID/PID", "VID", "dflt", 260, dir.filePath("Config.ini")), QString("dflt"));
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
