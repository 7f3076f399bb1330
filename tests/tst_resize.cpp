#include "TestSupport.h"
#include "app/ResizeGeometry.h"
#include <QtTest>

Q_DECLARE_METATYPE(WinRect)

namespace {
// A window recorded at (100, 50), 800 x 500, and two children.
CRectList Recorded()
{
    CRectList l;
    l.AddTail({100, 50, 900, 550});
    l.AddTail({103, 53, 897, 547});  // 3 units in from every edge
    l.AddTail({130, 80, 230, 120});
    return l;
}

std::vector<QRect> Geometries(const CToolDlg& dlg)
{
    std::vector<QRect> g;
    for (const QWidget* w : dlg.Children())
        g.push_back(w->geometry());
    return g;
}
} // namespace

class TestResize : public QObject {
    Q_OBJECT
private slots:
    void layout_data()
    {
        QTest::addColumn<WinRect>("now");
        QTest::addColumn<int>("child");
        QTest::addColumn<WinRect>("expected");
        QTest::addColumn<int>("fontHeight");
        QTest::addColumn<int>("fontWidth");

        // 3 units in scale to 1.5: the left edge truncates to 1 from the
        // window's left, the right edge to -1 from its right.
        QTest::newRow("half width truncates toward the edges")
            << WinRect{0, 0, 400, 500} << 1 << WinRect{1, 3, 399, 497} << 14 << 3;
        // Width only: vertical positions, heights and the font height stay.
        QTest::newRow("width only") << WinRect{100, 50, 1300, 550} << 2 << WinRect{145, 80, 295, 120} << 14 << 10;
    }
    void layout()
    {
        QFETCH(WinRect, now);
        QFETCH(int, child);
        ResizeLayout l;
        QVERIFY(ComputeResizeLayout(Recorded(), now, l));
        QCOMPARE(l.children.size(), std::size_t(2));
        QTEST(l.children[child - 1], "expected");
        QTEST(l.fontHeight, "fontHeight");
        QTEST(l.fontWidth, "fontWidth");
    }

    // The window itself: every child and the font it gets at twice the size.
    void twiceTheSizeScalesControlsAndFont()
    {
        OpenedDialog f;
        const std::vector<QRect> before = Geometries(*f.dlg);
        f.dlg->resize(f.dlg->size() * 2);
        const std::vector<QRect> after = Geometries(*f.dlg);
        for (std::size_t i = 0; i < before.size(); ++i)
            QCOMPARE(after[i], QRect(before[i].topLeft() * 2, before[i].size() * 2));
        for (const QWidget* w : f.dlg->Children()) {
            QCOMPARE(w->font().family(), QStringLiteral("Times New Roman"));
            QCOMPARE(w->font().pixelSize(), 28);
        }
        // The stretch gives an average character width near the wanted 14.
        const int avg = QFontMetrics(f.dlg->Children().front()->font()).averageCharWidth();
        QVERIFY2(qAbs(avg - 14) <= 1, qPrintable(QString::number(avg)));
    }

    // Sizes as factors of the opened size; the last is the final size.
    void resizingEndsAsOneResizeToTheFinalSize_data()
    {
        QTest::addColumn<QList<QSizeF>>("steps");
        QTest::newRow("shrink, then back to the opened size") << QList<QSizeF>{{0.33, 0.52}, {1, 1}};
        QTest::newRow("several sizes, then one")
            << QList<QSizeF>{{0.67, 0.33}, {1.25, 0.7}, {1.01, 1.01}, {1.7, 1.3}};
    }
    void resizingEndsAsOneResizeToTheFinalSize()
    {
        QFETCH(QList<QSizeF>, steps);
        OpenedDialog f;
        const QSize opened = f.dlg->size();
        const auto sized = [&opened](QSizeF k) {
            return QSize(qRound(opened.width() * k.width()), qRound(opened.height() * k.height()));
        };
        f.dlg->resize(sized(steps.last()));
        const std::vector<QRect> once = Geometries(*f.dlg);
        // Every other size moves some child; the final one puts each exactly
        // where the single resize did.
        for (const QSizeF k : steps) {
            f.dlg->resize(sized(k));
            QCOMPARE(Geometries(*f.dlg) == once, k == steps.last());
        }
    }

    void sizeChangeBeforeRecordingOnlyRepaints()
    {
        DialogFixture f;  // not opened: nothing recorded yet
        const std::vector<QRect> before = Geometries(*f.dlg);
        const QString family = f.dlg->Children().front()->font().family();
        f.dlg->resize(f.dlg->size() * 2);
        f.dlg->OnSize();
        QVERIFY(f.dlg->m_rectList.IsEmpty());
        QCOMPARE(Geometries(*f.dlg), before);
        QCOMPARE(f.dlg->Children().front()->font().family(), family);
    }
};
QTEST_MAIN(TestResize)
#include "tst_resize.moc"
