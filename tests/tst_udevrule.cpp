// The udev rules that `morvax-tool udev-rule` prints for the VID and PID of
// Config.ini, and the command's refusals.
#include "TestSupport.h"
#include "cli/UdevRule.h"
#include "cli/UdevRuleCommand.h"
#include <QtTest>
#include <cstdio>

namespace {
// Runs the command in this process; out and err as written.
int Run(const QStringList& args, QString& out, QString& err)
{
    char *outBuf = nullptr, *errBuf = nullptr;
    std::size_t outLen = 0, errLen = 0;
    std::FILE* o = open_memstream(&outBuf, &outLen);
    std::FILE* e = open_memstream(&errBuf, &errLen);
    const int status = RunUdevRuleCommand(args, o, e);
    std::fclose(o);
    std::fclose(e);
    out = QString::fromUtf8(outBuf, qsizetype(outLen));
    err = QString::fromUtf8(errBuf, qsizetype(errLen));
    std::free(outBuf);
    std::free(errBuf);
    return status;
}
} // namespace

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

    void command_data()
    {
        QTest::addColumn<QStringList>("args");      // CONFIG: the test's Config.ini
        QTest::addColumn<QByteArray>("configIni");  // its contents; null: a FIFO
        QTest::addColumn<QString>("where");         // where Config.ini is: "arg", "here", "user", "nowhere"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");  // the one line on stderr, or its start
        const QByteArray good("[VID/PID]\nVID=2F5A\nPID=0107\n");
        QTest::newRow("--config FILE") << QStringList{"--config", "CONFIG"} << good << "arg" << 0 << "";
        QTest::newRow("--config=FILE") << QStringList{"--config=CONFIG"} << good << "arg" << 0 << "";
        QTest::newRow("the working directory's") << QStringList{} << good << "here" << 0 << "";
        QTest::newRow("the user's settings folder's") << QStringList{} << good << "user" << 0 << "";
        QTest::newRow("no Config.ini anywhere") << QStringList{} << good << "nowhere" << 2
                                                << "morvax-tool udev-rule: no Config.ini in the working directory or in ";
        QTest::newRow("refused ID") << QStringList{"--config", "CONFIG"} << QByteArray("[VID/PID]\nVID=2f5a\nPID=0x107\n")
                                    << "arg" << 2
                                    << "morvax-tool udev-rule: CONFIG: PID \"0x107\" is not four hexadecimal digits\n";
        QTest::newRow("missing file") << QStringList{"--config", "CONFIG.gone"} << good << "arg" << 2
                                      << "morvax-tool udev-rule: CONFIG.gone: no such file\n";
        QTest::newRow("a FIFO is not read") << QStringList{"--config", "CONFIG"} << QByteArray() << "arg" << 2
                                            << "morvax-tool udev-rule: CONFIG: not a regular file\n";
        QTest::newRow("unknown argument") << QStringList{"--vid", "2f5a"} << good << "arg" << 2 << "usage: ";
    }
    void command()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, configIni);
        QFETCH(QString, where);
        QFETCH(int, status);
        QFETCH(QString, err);
        WorkDir work;
        const QString dir = where == "user" ? work.userToolDir() : work.dir.path();
        const QString config = dir + (where == "arg" ? "/test.ini" : "/Config.ini");
        if (where != "nowhere")
            QVERIFY(configIni.isNull() ? MakeNode(config, "fifo") : WriteFile(config, configIni));
        args.replaceInStrings("CONFIG", config);
        err.replace("CONFIG", config);

        QString out, gotErr;
        QCOMPARE(Run(args, out, gotErr), status);
        if (status == 0) {
            QCOMPARE(gotErr, QString());
            QVERIFY(out.contains("ATTRS{idVendor}==\"2f5a\", ATTRS{idProduct}==\"0107\""));
        } else {
            QCOMPARE(out, QString());
            QVERIFY2(gotErr.startsWith(err), qPrintable(gotErr));
        }
    }
};
QTEST_MAIN(TestUdevRule)
#include "tst_udevrule.moc"
