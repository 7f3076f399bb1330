// Image files without a device: name rules, and a file read in pieces as a
// download reads it. Text mode, the split into records and the text shown
// are fuzz_image's; choosing and refusing files is tested in the window
// (tst_download).
#include "TestSupport.h"
#include "operations/ImageFile.h"
#include <QRandomGenerator>
#include <QtTest>

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
        QTEST(ImageFile::NameFits(ImageFile::Kind::Eeprom, path), "eeprom");
        QTEST(ImageFile::NameFits(ImageFile::Kind::Flash, path), "flash");
    }

    void fileReadInPiecesGivesTheSplitLines()
    {
        // Some 300 KiB of lines of every length that fits, with CR LF and LF
        // ends and stray CRs; where the reader's pieces of 65535 bytes end, a
        // CR LF pair split in two, and a lone CR before a line's next byte.
        constexpr int PIECE = 64 * 1024 - 1;
        QRandomGenerator random(7);
        QByteArray raw;
        auto endAt = [&raw](qsizetype at, const QByteArray& end) {
            while (raw.size() + 101 < at)
                raw += QByteArray(100, 'f') + '\n';
            raw += QByteArray(at - raw.size(), 'b') + end;
        };
        endAt(PIECE - 1, "\r\n");
        endAt(2 * PIECE - 1, "\rx\n");
        while (raw.size() < 300 * 1024) {
            // Never all CRs: a line that text mode leaves empty ends the image.
            QByteArray line(random.bounded(2, ImageFile::MAX_LINE_CHARS + 1), 'a');
            for (int i = 0; i < 3; ++i)
                line[1 + random.bounded(line.size() - 1)] = '\r';
            raw += line + (random.bounded(2) ? "\r\n" : "\n");
        }
        raw += "tail\r";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fw.mvx"));
        QVERIFY(WriteFile(path, raw));

        ImageFile whole;
        QCOMPARE(whole.Split(ImageFile::ToTextMode(raw)), ImageFile::Status::Ok);
        QVERIFY(whole.lines().back().startsWith("tail"));  // the lines go on to the file's end
        ImageFile checked;
        QCOMPARE(checked.Load(path), ImageFile::Status::Ok);
        QCOMPARE(checked.count(), int(whole.lines().size()));
        ImageFile::Reader reader;
        QVERIFY(reader.open(path));
        QByteArray line;
        for (const QByteArray& expected : whole.lines()) {
            QCOMPARE(reader.next(line), ImageLines::Next::Line);
            QCOMPARE(line, expected);
        }
        QCOMPARE(reader.next(line), ImageLines::Next::End);
    }
};

QTEST_GUILESS_MAIN(TestImageCore)
#include "tst_imagecore.moc"
