#include "TestSupport.h"
#include "app/ToolApp.h"
#include "controls/LoadedPicture.h"
#include "controls/SplashWnd.h"
#include <QtTest>
#include <QBuffer>
#include <QGuiApplication>
#include <QScreen>

namespace {
// A JPEG of one colour. dpi 0 gives a file without a resolution (JFIF
// density unit 0).
QByteArray Jpeg(int w, int h, int dpi, QColor colour = Qt::red)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    if (dpi > 0) {
        img.setDotsPerMeterX(qRound(dpi / 0.0254));
        img.setDotsPerMeterY(qRound(dpi / 0.0254));
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 95);
    if (dpi == 0 && bytes.mid(6, 5) == QByteArray("JFIF\0", 5))
        bytes[13] = 0;
    return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The visible splash windows.
QList<CSplashWnd*> VisibleSplashes()
{
    QList<CSplashWnd*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<CSplashWnd*>(w); s && s->isVisible())
            found << s;
    return found;
}

// Runs in a working directory of its own for the lifetime of the object.
struct WorkDir {
    WorkDir() : old(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~WorkDir() { QDir::setCurrent(old); }
    QTemporaryDir dir;
    QString old;
};

bool IsRed(QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }
bool IsDark(QColor c) { return c.red() < 100 && c.green() < 100 && c.blue() < 100; }
} // namespace

class TestSplash : public QObject {
    Q_OBJECT
private slots:
    void imageSize_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("fileDpi");
        QTest::addColumn<int>("screenDpi");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("one inch on 96 dpi") << 300 << 300 << 300 << 96 << QSize(96, 96);
        QTest::newRow("one inch on 120 dpi") << 300 << 300 << 300 << 120 << QSize(120, 120);
        QTest::newRow("72 dpi picture on 96 dpi") << 144 << 72 << 72 << 96 << QSize(192, 96);
        QTest::newRow("96 dpi picture on 96 dpi") << 320 << 200 << 96 << 96 << QSize(320, 200);
        QTest::newRow("no resolution: pixels") << 200 << 100 << 0 << 144 << QSize(200, 100);
    }
    void imageSize()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, fileDpi);
        QFETCH(int, screenDpi);
        QFETCH(QSize, expected);
        WorkDir wd;
        WriteFile(QStringLiteral("pic.jpg"), Jpeg(w, h, fileDpi));
        CLoadedPicture pic;
        QVERIFY(pic.Load(QStringLiteral("pic.jpg")));
        QVERIFY(!pic.IsNull());
        QCOMPARE(pic.GetImageSize(screenDpi, screenDpi), expected);
    }

    void oneInchPictureIs2540Himetric()
    {
        WorkDir wd;
        WriteFile(QStringLiteral("pic.jpg"), Jpeg(300, 300, 300));
        CLoadedPicture pic;
        QVERIFY(pic.Load(QStringLiteral("pic.jpg")));
        QCOMPARE(pic.GetHimetricSize(), QSize(2540, 2540));
    }

    void loadOutcomes()
    {
        WorkDir wd;
        CLoadedPicture pic;
        QVERIFY(!pic.Load(QStringLiteral("missing.jpg")));
        QCOMPARE(pic.GetImageSize(96, 96), QSize(0, 0));
        // A file that opens but does not decode counts as loaded, without a
        // picture.
        WriteFile(QStringLiteral("bad.jpg"), QByteArray("\xFF\xD8\xFF\xE0 this is not a picture", 32));
        QVERIFY(pic.Load(QStringLiteral("bad.jpg")));
        QVERIFY(pic.IsNull());
        QCOMPARE(pic.GetImageSize(96, 96), QSize(0, 0));
        // A file that cannot be opened leaves the picture held as it was.
        WriteFile(QStringLiteral("good.jpg"), Jpeg(50, 40, 96));
        QVERIFY(pic.Load(QStringLiteral("good.jpg")));
        QVERIFY(!pic.Load(QStringLiteral("missing.jpg")));
        QCOMPARE(pic.GetImageSize(96, 96), QSize(50, 40));
    }

    void splashIsCentredWithCaptionOverPicture()
    {
        WorkDir wd;
        WriteFile(QStringLiteral("fx.jpg"), Jpeg(320, 200, 96));
        CSplashWnd splash(QStringLiteral("fx.jpg"));
        QVERIFY(splash.IsLoaded());
        QVERIFY(splash.ShowSplash());
        QVERIFY(splash.isVisible());
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        CLoadedPicture pic;
        pic.Load(QStringLiteral("fx.jpg"));
        QCOMPARE(splash.size(), pic.GetImageSize());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(splash.pos(), QPoint(area.left() + (area.width() - splash.width()) / 2,
                                      area.top() + (area.height() - splash.height()) / 2));

        splash.DrawCaption(QStringLiteral("MORVAX!"));
        const QImage img = splash.grab().toImage();
        const QRect text = splash.fontMetrics().boundingRect(QStringLiteral("MORVAX!"));
        int dark = 0, red = 0;
        for (int y = 0; y < text.height(); ++y)
            for (int x = 0; x < text.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                dark += IsDark(c);
                red += IsRed(c);
            }
        QVERIFY2(dark > 10, "the caption's letters stand at the top-left corner");
        QVERIFY2(red > 10, "the picture shows through around the letters");
        QVERIFY(IsRed(img.pixelColor(img.width() - 5, img.height() - 5)));
        splash.DestroyWindow();
        QVERIFY(!splash.isVisible());
    }

    void undecodablePictureShowsNoWindow()
    {
        WorkDir wd;
        WriteFile(QStringLiteral("fx.jpg"), QByteArray("not a picture at all"));
        CSplashWnd splash(QStringLiteral("fx.jpg"));
        QVERIFY(splash.IsLoaded());
        QCOMPARE(splash.PictureSize(), QSize(0, 0));
        QVERIFY(!splash.ShowSplash());
        splash.DrawCaption(QStringLiteral("MORVAX!"));
        splash.DestroyWindow();
        QVERIFY(!splash.isVisible());
    }

    void startUpStep_data()
    {
        QTest::addColumn<bool>("withPicture");
        QTest::addColumn<int>("shown");
        QTest::newRow("fx.jpg present") << true << 1;
        QTest::newRow("fx.jpg missing") << false << 0;
    }
    void startUpStep()
    {
        QFETCH(bool, withPicture);
        QFETCH(int, shown);
        WorkDir wd;
        if (withPicture)
            WriteFile(QStringLiteral("fx.jpg"), Jpeg(120, 80, 96));
        ManualClock clock;
        int seen = -1;
        clock.schedule(CToolApp::SPLASH_MS / 2, [&seen] { seen = VisibleSplashes().size(); });
        CToolApp::ShowSplash(clock);
        QCOMPARE(seen, shown);
        QCOMPARE(clock.sleptMs(), std::int64_t(CToolApp::SPLASH_MS));  // the wait remains either way
        QVERIFY(VisibleSplashes().isEmpty());
    }

    void dialogFollowsWithoutPicture()
    {
        WorkDir wd;
        ManualClock clock;
        FakePrompts prompts;
        SimPlatform sim(clock, prompts);
        bool dialogSeen = false;
        std::int64_t sleptBeforeDialog = -1;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, this, [&] {
            if (auto* dlg = qobject_cast<CToolDlg*>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                sleptBeforeDialog = clock.sleptMs();
                dlg->reject();
            }
        });
        probe.start();
        CToolApp app(sim.platform());
        QVERIFY(!app.InitInstance());
        QVERIFY(dialogSeen);
        QVERIFY(sleptBeforeDialog >= CToolApp::SPLASH_MS);
    }
};
QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
