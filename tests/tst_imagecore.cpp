// Image files without a device: name rules, text mode, display text, the
// split into records.
#include "operations/ImageFile.h"
#include <QTemporaryDir>
#include <QtTest>

using Kind = ImageFile::Kind;
using Status = ImageFile::Status;

class TestImageCore : public QObject {
    Q_OBJECT
private slots:
    void nameRules_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("eeprom");
        QTest::addColumn<bool>("flash");
        QTest::newRow("fw.eep.mvx") << "/img/fw.eep.mvx" << true << false;
        QTest::newRow("fw.mvx") << "/img/fw.mvx" << false << true;
        QTest::newRow("fweep.mvx passes both") << "/img/fweep.mvx" << true << true;
        QTest::newRow("upper case passes neither") << "/img/FW.MVX" << false << false;
        QTest::newRow("dir holding .mvx") << "/a.mvx/fw.bin" << false << true;
        QTest::newRow("dir holding .eep.mvx") << "/a.eep.mvx/fw.mvx" << true << false;
        QTest::newRow("fw.mvx.bak") << "/img/fw.mvx.bak" << false << true;
    }
    void nameRules()
    {
        QFETCH(QString, path);
        QFETCH(bool, eeprom);
        QFETCH(bool, flash);
        QCOMPARE(ImageFile::NameFits(Kind::Eeprom, path), eeprom);
        QCOMPARE(ImageFile::NameFits(Kind::Flash, path), flash);
    }

    void textModeAndDisplay_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("textMode");
        QTest::addColumn<QString>("display");
        QTest::newRow("A LF B") << QByteArray("A\nB") << QByteArray("A\nB") << QStringLiteral("A\r\n\nB");
        QTest::newRow("CR LF becomes LF") << QByteArray("A\r\nB\r\n") << QByteArray("A\nB\n")
                                          << QStringLiteral("A\r\n\nB\r\n\n");
        QTest::newRow("lone CR kept") << QByteArray("A\rB\r") << QByteArray("A\rB\r") << QStringLiteral("A\rB\r");
        QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << QByteArray("\r\n") << QStringLiteral("\r\r\n\n");
        QTest::newRow("NUL kept, not shown") << QByteArray("A\0B\n", 4) << QByteArray("A\0B\n", 4)
                                             << QStringLiteral("AB\r\n\n");
        QTest::newRow("high bytes one char each") << QByteArray("\xce\xc4\xff") << QByteArray("\xce\xc4\xff")
                                                  << QString::fromLatin1("\xce\xc4\xff");
        QTest::newRow("empty") << QByteArray() << QByteArray() << QString();
    }
    void textModeAndDisplay()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, textMode);
        QFETCH(QString, display);
        QTemporaryDir dir;
        QFile f(dir.filePath("x.mvx"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(raw);
        f.close();
        QByteArray read;
        QVERIFY(ImageFile::ReadTextMode(f.fileName(), read));
        QCOMPARE(read, textMode);
        QCOMPARE(ImageFile::DisplayText(read), display);
    }

    void unreadableFiles()
    {
        QTemporaryDir dir;
        QByteArray bytes("junk");
        QVERIFY(!ImageFile::ReadTextMode(dir.filePath("missing.mvx"), bytes));
        QVERIFY(bytes.isEmpty());
        QVERIFY(!ImageFile::ReadTextMode(QString(), bytes));
        QVERIFY(!ImageFile::ReadTextMode(dir.path(), bytes));  // a directory
        ImageFile image;
        QCOMPARE(image.Load(dir.filePath("missing.mvx")), Status::CannotOpen);
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<int>("badLine");
        const QByteArray l286(286, 'x'), l287(287, 'y'), l300(300, 'z');
        QTest::newRow("empty file") << QByteArray() << int(Status::Ok) << QList<QByteArray>{} << 0;
        QTest::newRow("first line empty") << QByteArray("\nA\n") << int(Status::Ok) << QList<QByteArray>{} << 0;
        QTest::newRow("last line without LF") << QByteArray("A\nBC") << int(Status::Ok)
                                              << QList<QByteArray>{"A\n", "BC"} << 0;
        QTest::newRow("empty line ends the image, long lines after it unread")
            << QByteArray("A\nB\n\nC\n" + l300 + "\n") << int(Status::Ok) << QList<QByteArray>{"A\n", "B\n"} << 0;
        QTest::newRow("286 chars fit") << QByteArray(l286 + "\n") << int(Status::Ok)
                                       << QList<QByteArray>{l286 + "\n"} << 0;
        QTest::newRow("287 chars refused") << QByteArray("A\n" + l287 + "\nB\n") << int(Status::LineTooLong)
                                           << QList<QByteArray>{} << 2;
        QTest::newRow("300 chars refused") << QByteArray(l300 + "\n") << int(Status::LineTooLong)
                                           << QList<QByteArray>{} << 1;
        QTest::newRow("287 chars without LF refused") << QByteArray("A\n" + l287) << int(Status::LineTooLong)
                                                      << QList<QByteArray>{} << 2;
        QTest::newRow("NUL inside a line kept") << QByteArray("A\0B\n", 4) << int(Status::Ok)
                                                << QList<QByteArray>{QByteArray("A\0B\n", 4)} << 0;
        QTest::newRow("line holding a CR before its LF is not empty") << QByteArray("\r\nA\n", 4) << int(Status::Ok)
                                                        << QList<QByteArray>{"\r\n", "A\n"} << 0;
    }
    void split()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, status);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(int, badLine);
        ImageFile image;
        QCOMPARE(int(image.Split(text)), status);
        QCOMPARE(QList<QByteArray>(image.lines().begin(), image.lines().end()), lines);
        QCOMPARE(image.badLine(), badLine);
    }
};

QTEST_GUILESS_MAIN(TestImageCore)
#include "tst_imagecore.moc"
