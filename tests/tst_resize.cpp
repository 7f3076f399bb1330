#include "TestSupport.h"
#include "app/ResizeGeometry.h"
#include <QtTest>

Q_DECLARE_METATYPE(WinRect)

namespace {
// A window recorded at (100, 50), 800 x 500, and four children.
CRectList Recorded()
{
    CRectList l;
    l.AddTail({100, 50, 900, 550});
    l.AddTail({103, 53, 897, 547});  // 3 units in from every edge
    l.AddTail({130, 80, 230, 120});
    l.AddTail({110, 300, 890, 540});
    l.AddTail({117, 61, 173, 93});
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

        // Sizes and distances double; the right and bottom distances too.
        QTest::newRow("twice the size") << WinRect{0, 0, 1600, 1000} << 2 << WinRect{60, 60, 260, 140} << 28 << 14;
        QTest::newRow("twice the size, edge child")
            << WinRect{0, 0, 1600, 1000} << 1 << WinRect{6, 6, 1594, 994} << 28 << 14;
        // 3 units in scale to 1.5: the left edge truncates to 1 from the
        // window's left, the right edge to -1 from its right.
        QTest::newRow("half width truncates toward the edges")
            << WinRect{0, 0, 400, 500} << 1 << WinRect{1, 3, 399, 497} << 14 << 3;
        // Width only: vertical positions, heights and the font height stay.
        QTest::newRow("width only") << WinRect{100, 50, 1300, 550} << 4 << WinRect{125, 61, 210, 93} << 14 << 10;
        QTest::newRow("moved, same size") << WinRect{500, 400, 1300, 900} << 4 << WinRect{517, 411, 573, 443} << 14
                                          << 7;
        QTest::newRow("recorded size is identity")
            << WinRect{100, 50, 900, 550} << 3 << WinRect{110, 300, 890, 540} << 14 << 7;
        // A tiny window: each distance truncates on its own (250 x 0.07 =
        // 17.5 -> 17, -10 x 0.07 = -0.7 -> 0) and the font sizes reach 0.
        QTest::newRow("far smaller") << WinRect{0, 0, 80, 35} << 3 << WinRect{1, 17, 79, 35} << 0 << 0;
    }
    void layout()
    {
        QFETCH(WinRect, now);
        QFETCH(int, child);
        QFETCH(WinRect, expected);
        QFETCH(int, fontHeight);
        QFETCH(int, fontWidth);
        ResizeLayout l;
        QVERIFY(ComputeResizeLayout(Recorded(), now, l));
        QCOMPARE(l.children.size(), std::size_t(4));
        QCOMPARE(l.children[child - 1], expected);
        QCOMPARE(l.fontHeight, fontHeight);
        QCOMPARE(l.fontWidth, fontWidth);
    }

    void nothingToLayOut_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::newRow("nothing recorded") << true;
        QTest::newRow("recorded window without area") << false;
    }
    void nothingToLayOut()
    {
        QFETCH(bool, empty);
        CRectList l;
        if (!empty) {
            l.AddTail({10, 10, 10, 60});
            l.AddTail({12, 12, 20, 20});
        }
        ResizeLayout out;
        out.fontHeight = -5;
        QVERIFY(!ComputeResizeLayout(l, {0, 0, 500, 500}, out));
        QCOMPARE(out.fontHeight, -5);  // untouched
    }

    // The window itself: the font every child gets at twice the size.
    void twiceTheSizeScalesControlsAndFont()
    {
        DialogFixture f;
        f.open();
        const std::vector<QRect> before = Geometries(*f.dlg);
        const QSize size = f.dlg->size();
        f.dlg->resize(size * 2);
        const std::vector<QRect> after = Geometries(*f.dlg);
        for (std::size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(after[i].topLeft(), before[i].topLeft() * 2);
            QCOMPARE(after[i].size(), before[i].size() * 2);
        }
        for (const QWidget* w : f.dlg->Children()) {
            QCOMPARE(w->font().family(), QStringLiteral("Times New Roman"));
            QCOMPARE(w->font().pixelSize(), 28);
        }
        // The stretch gives an average character width near the wanted 14.
        const int avg = QFontMetrics(f.dlg->Children().front()->font()).averageCharWidth();
        QVERIFY2(qAbs(avg - 14) <= 1, qPrintable(QString::number(avg)));
    }

    void shrinkThenRestoreReturnsEveryChild()
    {
        DialogFixture f;
        f.open();
        const std::vector<QRect> before = Geometries(*f.dlg);
        const QSize size = f.dlg->size();
        f.dlg->resize(size.width() / 3, size.height() / 2 + 7);
        QVERIFY(Geometries(*f.dlg) != before);
        f.dlg->resize(size);
        QCOMPARE(Geometries(*f.dlg), before);
        QCOMPARE(f.dlg->Children().front()->font().pixelSize(), 14);
    }

    void repeatedResizingEqualsOneResize()
    {
        DialogFixture f;
        f.open();
        const QSize size = f.dlg->size();
        const QSize final(size.width() * 17 / 10, size.height() * 13 / 10);
        f.dlg->resize(final);
        const std::vector<QRect> once = Geometries(*f.dlg);
        for (const QSize s : {QSize(size.width() * 2 / 3, size.height() / 3), QSize(size.width() * 5 / 4, 311),
                              QSize(size.width() + 1, size.height() + 1), final})
            f.dlg->resize(s);
        QCOMPARE(Geometries(*f.dlg), once);
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
