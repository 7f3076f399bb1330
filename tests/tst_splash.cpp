#include "TestSupport.h"
#include "app/ToolApp.h"
#include "controls/LoadedPicture.h"
#include "controls/SplashWnd.h"
#include <QtTest>
#include <QBuffer>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

namespace {
// A red JPEG. dpi 0 gives a file without a resolution (JFIF density unit 0).
QByteArray Jpeg(int w, int h, int dpi)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    img.setDotsPerMeterX(qRound(qMax(dpi, 1) / 0.0254));
    img.setDotsPerMeterY(qRound(qMax(dpi, 1) / 0.0254));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 95);
    if (dpi == 0)
        bytes[13] = 0;  // the JFIF header's density unit
    return bytes;
}

// Writes fx.jpg into dir; no file for empty bytes.
void WriteFxJpg(const QByteArray& bytes, const QString& dir = QStringLiteral("."))
{
    QVERIFY(bytes.isEmpty() || WriteFile(dir + QStringLiteral("/fx.jpg"), bytes));
}

// The visible splash windows.
QList<QWidget*> VisibleSplashes()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<CSplashWnd*>(w) && w->isVisible())
            found << w;
    return found;
}

bool IsRed(QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
bool IsDark(QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; }

// A shown splash window for a 320 x 200 picture without a resolution:
// borderless, the picture's size in pixels, centred on the screen, with the
// caption's dark letters over the red picture's top-left corner.
void CheckSplash(QWidget* w)
{
    QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w->size(), QSize(320, 200));
    QCOMPARE(w->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    const QImage shot = w->grab().toImage();
    const QRect text(QPoint(0, 0), w->fontMetrics().boundingRect(QStringLiteral("MORVAX!")).size());
    QVERIFY2(CountPixels(shot, text, IsDark) > 10, "the caption's letters stand at the top-left corner");
    QVERIFY2(CountPixels(shot, text, IsRed) > 10, "the picture shows through around the letters");
}
} // namespace

class TestSplash : public QObject {
    Q_OBJECT
private slots:
    void pictureSize_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("screenDpi");
        QTest::addColumn<QSize>("himetric");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("one inch on 96 dpi") << Jpeg(300, 300, 300) << 96 << QSize(2540, 2540) << QSize(96, 96);
        // To the nearest pixel: 2963 x 72 / 2540 = 83.99.
        QTest::newRow("300 dpi picture on 72 dpi") << Jpeg(350, 600, 300) << 72 << QSize(2963, 5080) << QSize(84, 144);
    }
    void pictureSize()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, screenDpi);
        WorkDir wd;
        WriteFxJpg(jpeg);
        CLoadedPicture pic;
        QVERIFY(pic.Load(QStringLiteral("fx.jpg")));
        QTEST(pic.GetHimetricSize(), "himetric");
        QTEST(pic.GetImageSize(screenDpi, screenDpi), "pixels");
    }

    // Start-up: the picture shows, centred, with the caption over its
    // top-left corner, for the whole wait and is gone when the dialog opens;
    // without a picture no window opens, the wait remains and the dialog
    // follows.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("fxJpg");
        QTest::addColumn<bool>("inUserFolder");  // else in the working directory
        QTest::addColumn<bool>("shown");
        // No resolution: the window's size is the picture's size in pixels.
        QTest::newRow("fx.jpg present") << Jpeg(320, 200, 0) << false << true;
        QTest::newRow("fx.jpg missing") << QByteArray() << false << false;
        QTest::newRow("fx.jpg does not decode") << QByteArray("\xFF\xD8\xFF\xE0 not a picture") << false << false;
        QTest::newRow("fx.jpg only in the user's folder") << Jpeg(320, 200, 0) << true << true;
    }
    void startUp()
    {
        QFETCH(QByteArray, fxJpg);
        QFETCH(bool, inUserFolder);
        QFETCH(bool, shown);
        WorkDir wd;
        WriteFxJpg(fxJpg, inUserFolder ? wd.userToolDir() : QStringLiteral("."));
        ManualClock clock;
        FakePrompts prompts;
        SimPlatform sim(clock, prompts);
        // The splash windows up just before the wait ends, and the main
        // window built by then but neither shown nor opened.
        int splashesLate = -1;
        int builtLate = 0;
        clock.schedule(CToolApp::SPLASH_MS - 1, [&] {
            const QList<QWidget*> up = VisibleSplashes();
            splashesLate = up.size();
            if (up.size() == 1)
                CheckSplash(up.first());
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dlg = qobject_cast<CToolDlg*>(w)) {
                    ++builtLate;
                    QVERIFY(!dlg->isVisible());
                    QCOMPARE(dlg->m_cbBaud->count(), 0);  // opening fills the baud list
                }
        });
        int splashesWithDialog = -1;
        std::int64_t sleptBeforeDialog = -1;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (auto* dlg = qobject_cast<CToolDlg*>(QApplication::activeModalWidget())) {
                splashesWithDialog = VisibleSplashes().size();
                sleptBeforeDialog = clock.sleptMs();
                dlg->reject();
            }
        });
        probe.start(0);
        CToolApp app(sim.platform());
        QVERIFY(!app.InitInstance());
        QCOMPARE(splashesWithDialog, 0);
        QCOMPARE(sleptBeforeDialog, std::int64_t(CToolApp::SPLASH_MS));
        QCOMPARE(splashesLate, shown ? 1 : 0);
        QCOMPARE(builtLate, 1);
    }

    // Work done while the picture is up counts towards its wait.
    void waitCountsTheWorkMeanwhile_data()
    {
        QTest::addColumn<int>("workMs");
        QTest::addColumn<int>("sleptMs");
        QTest::newRow("300 ms of work") << 300 << CToolApp::SPLASH_MS - 300;
        QTest::newRow("work longer than the wait") << CToolApp::SPLASH_MS + 500 << 0;
    }
    void waitCountsTheWorkMeanwhile()
    {
        QFETCH(int, workMs);
        QFETCH(int, sleptMs);
        WorkDir wd;
        WriteFxJpg(Jpeg(320, 200, 0));
        ManualClock clock;
        int splashesDuringWork = -1;
        CToolApp::ShowSplash(clock, QStringLiteral("fx.jpg"), [&] {
            splashesDuringWork = VisibleSplashes().size();
            clock.advance(workMs);
        });
        QCOMPARE(splashesDuringWork, 1);
        QCOMPARE(clock.sleptMs(), std::int64_t(sleptMs));
        QCOMPARE(VisibleSplashes().size(), 0);
    }
};
QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
