// The udev rules that `morvax-tool udev-rule` prints for a VID and PID: the
// template filled in, and the IDs it refuses. The command itself is run in
// tst_cli.
#include "cli/UdevRule.h"
#include <QtTest>


class TestUdevRule : public QObject {
    Q_OBJECT
private slots:
    void ids_data()
    {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("pid");
        QTest::addColumn<QString>("reason");  // "" when accepted
        QTest::newRow("lower case") << "2f5a" << "0107" << "";
        QTest::newRow("upper case is written in lower case") << "2F5A" << "ABCD" << "";
        QTest::newRow("empty VID") << "" << "0107" << "VID is empty (it must be four hexadecimal digits)";
        QTest::newRow("0x prefix") << "0x2f5a" << "0107" << "VID \"0x2f5a\" is not four hexadecimal digits";
        QTest::newRow("three digits") << "2f5a" << "107" << "PID \"107\" is not four hexadecimal digits";
        QTest::newRow("five digits") << "2f5a0" << "0107" << "VID \"2f5a0\" is not four hexadecimal digits";
        QTest::newRow("not hex") << "2g5a" << "0107" << "VID \"2g5a\" is not four hexadecimal digits";
        // A value that would end the rule's string and add keys of its own.
        QTest::newRow("quote injection") << "2f5a" << "\", RUN+=\"/bin/sh -c x"
                                         << "PID \"\\x22, RUN+=\\x22/bin/sh...\" is not four hexadecimal digits";
        QTest::newRow("line break") << "2f\n5a" << "0107" << "VID \"2f\\x0a5a\" is not four hexadecimal digits";
    }
    void ids()
    {
        QFETCH(QString, vid);
        QFETCH(QString, pid);
        QFETCH(QString, reason);
        QString why;
        const QString rules = MakeUdevRules(vid, pid, why);
        QCOMPARE(why, reason);
        QCOMPARE(rules.isEmpty(), !reason.isEmpty());
        if (rules.isEmpty())
            return;
        const QString v = vid.toLower(), p = pid.toLower();
        const QString access = "TAG+=\"uaccess\", GROUP=\"plugdev\", MODE=\"0660\"";
        // The rule lines: the USB device, its hidraw nodes, the vendor's ttyACM ports.
        QStringList ruleLines;
        for (const QString& line : rules.split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                ruleLines << line;
        QCOMPARE(ruleLines,
                 (QStringList{"SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"" + v +
                                  "\", ATTR{idProduct}==\"" + p + "\", " + access,
                              "SUBSYSTEM==\"hidraw\", KERNEL==\"hidraw*\", ATTRS{idVendor}==\"" + v +
                                  "\", ATTRS{idProduct}==\"" + p + "\", " + access,
                              "SUBSYSTEM==\"tty\", KERNEL==\"ttyACM[0-9]*\", ATTRS{idVendor}==\"" + v + "\", " +
                                  access + ", ENV{ID_MM_DEVICE_IGNORE}=\"1\""}));
    }

};
QTEST_GUILESS_MAIN(TestUdevRule)
#include "tst_udevrule.moc"
