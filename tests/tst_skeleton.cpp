#include "TestSupport.h"
#include <QtTest>
class TestSkeleton : public QObject {
    Q_OBJECT
private slots:
    void opens()
    {
        DialogFixture f;
        f.open();
        QCOMPARE(f.dlg->m_strVid, QStringLiteral("2f5a"));
    }
};
QTEST_MAIN(TestSkeleton)
#include "tst_skeleton.moc"
