// RegularFile on its own: what it opens and what it refuses with which words,
// and what a read gives, with the size bound met exactly, passed at the open,
// and passed by a file that grew after it was opened.
#include "TestSupport.h"
#include "platform/RegularFile.h"
#include <QtTest>

namespace {
using Error = RegularFile::Error;

// n bytes that differ from their neighbours, so that a wrong piece shows.
QByteArray Bytes(qint64 n)
{
    QByteArray out(n, '\0');
    for (qint64 i = 0; i < n; ++i)
        out[i] = char('a' + i % 23);
    return out;
}
} // namespace
Q_DECLARE_METATYPE(RegularFile::Error)

class TestRegularFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void open_data()
    {
        QTest::addColumn<QString>("what");  // a size in bytes, "none" or a node of MakeNode's
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<Error>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("under the bound") << "99" << 100LL << Error::None << "";
        QTest::newRow("exactly the bound") << "100" << 100LL << Error::None << "";
        QTest::newRow("empty, bound 0") << "0" << 0LL << Error::None << "";
        QTest::newRow("one byte over") << "101" << 100LL << Error::TooLarge << "is 101 bytes, more than 100";
        QTest::newRow("no bound") << "200000" << -1LL << Error::None << "";
        QTest::newRow("missing") << "none" << -1LL << Error::CannotOpen << "No such file or directory";
        QTest::newRow("FIFO without a writer") << "fifo" << -1LL << Error::NotRegular << "is a FIFO";
        QTest::newRow("directory") << "directory" << -1LL << Error::NotRegular << "is a directory";
        QTest::newRow("device through a link") << "/dev/zero link" << -1LL << Error::NotRegular << "is a device";
    }
    void open()
    {
        QFETCH(QString, what);
        QFETCH(qint64, bound);
        QFETCH(Error, error);
        QFETCH(QString, text);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        bool isSize = false;
        const qint64 size = what.toLongLong(&isSize);
        QVERIFY(what == "none" || (isSize ? WriteFile(path, Bytes(size)) : MakeNode(path, what)));
        RegularFile f;
        QCOMPARE(f.open(path, bound), error == Error::None);
        QCOMPARE(f.isOpen(), error == Error::None);
        QCOMPARE(f.error(), error);
        QCOMPARE(f.errorText(), text);
        QByteArray out;
        if (error != Error::None) {
            // Nothing is held open to read.
            QVERIFY(!f.read(out));
            QCOMPARE(f.error(), Error::ReadFailed);
            return;
        }
        QCOMPARE(f.size(), size);
        QVERIFY(f.read(out));
        QCOMPARE(out, Bytes(size));
    }

    void read_data()
    {
        QTest::addColumn<qint64>("size");    // at the open
        QTest::addColumn<qint64>("bound");   // given to the open
        QTest::addColumn<qint64>("grown");   // the size the file has by the read
        QTest::addColumn<qint64>("most");    // the read's maxBytes
        QTest::addColumn<Error>("error");
        QTest::addColumn<qint64>("got");     // bytes read
        QTest::newRow("at most maxBytes") << 100LL << -1LL << 100LL << 40LL << Error::None << 40LL;
        QTest::newRow("grown within the bound") << 50LL << 100LL << 100LL << -1LL << Error::None << 100LL;
        QTest::newRow("grown without a bound") << 100LL << -1LL << 150000LL << -1LL << Error::None << 150000LL;
        QTest::newRow("grown past the bound") << 100LL << 100LL << 150LL << -1LL << Error::TooLarge << 101LL;
        QTest::newRow("grown past a bound over one piece")
            << 70000LL << 70000LL << 140000LL << -1LL << Error::TooLarge << 70001LL;
        QTest::newRow("grown past the bound, read to the bound")
            << 100LL << 100LL << 150LL << 100LL << Error::None << 100LL;
    }
    void read()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, bound);
        QFETCH(qint64, grown);
        QFETCH(qint64, most);
        QFETCH(Error, error);
        QFETCH(qint64, got);
        const QString path = m_dir.filePath(QTest::currentDataTag());
        QVERIFY(WriteFile(path, Bytes(size)));
        RegularFile f;
        QVERIFY(f.open(path, bound));
        QVERIFY(WriteFile(path, Bytes(grown)));  // in place: the open descriptor reads it
        QByteArray out;
        QCOMPARE(f.read(out, most), error == Error::None);
        QCOMPARE(f.error(), error);
        QCOMPARE(out, Bytes(got));
        if (error == Error::None)
            return;
        // Refused: closed, and the size says the bound was passed.
        QVERIFY(!f.isOpen());
        QVERIFY(f.size() > bound);
        QVERIFY2(f.errorText().endsWith(QStringLiteral(" bytes, more than %1").arg(bound)), qPrintable(f.errorText()));
    }
};

QTEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
