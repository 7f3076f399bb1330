// The custom controls and the artwork, tested by their pixels under the
// offscreen platform: status light, icon button, mode swatch, framed edit.
#include "controls/FrameEdit.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "controls/ModeSwatch.h"
#include "resources/Resources.h"
#include <QSignalSpy>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// What the window shows over a child widget, in the child's coordinates.
QImage Shot(QWidget* w)
{
    QWidget* top = w->window();
    return top->grab(QRect(w->mapTo(top, QPoint(0, 0)), w->size())).toImage();
}

QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

int CountPixels(const QImage& img, const QRect& area, const std::function<bool(QColor)>& match)
{
    int n = 0;
    const QRect r = area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(img.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool IsGreen(QColor c)
{
    return c.green() > 180 && c.red() < 90 && c.blue() < 90;
}
bool IsBlue(QColor c)
{
    return c.blue() > 180 && c.red() < 90 && c.green() < 90;
}

// A shown window with a solid background of its own, holding one control.
struct Stage {
    QWidget window;
    explicit Stage(QColor background = QColor(0xe0, 0xe0, 0xe0))
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, background);
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        window.resize(260, 140);
    }
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    QPoint outside() const { return QPoint(250, 130); }  // in window coordinates, beside every control
};

}  // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    // Every case starts with the cursor away from its window, so that its
    // first move is a move.
    void init() { QCursor::setPos(QPoint(3000, 3000)); }

    void light_paintsItsBodyInTheVariantOfItsColour_data();
    void light_paintsItsBodyInTheVariantOfItsColour();
    void light_circleHasRimAndGlintAtFixedOffset();
    void light_squareHasBevelledEdges();
    void light_withoutColourShowsOnlyItsFrame();
    void light_yellowAlternatesOnEveryPaint();
    void light_timerRepaintsAndIsReplacedBySetLed();

    void button_hoverPressReleaseAndLeave();
    void button_releaseAfterLeavingWhileHeldEndsInNormalLook();
    void button_movesWithLeftButtonHeldDoNotHover();
    void button_keyboardClickKeepsTheLook();
    void button_placesIconByCaptionAndAlignment_data();
    void button_placesIconByCaptionAndAlignment();
    void button_disabledLook_data();
    void button_disabledLook();
    void button_disabledIgnoresMouseAndKeepsHoverTimer();
    void button_background_data();
    void button_background();
    void button_cursor();

    void swatch_keepsItsMarkAcrossRepaints();
    void frameEdit_drawsFrameInItsColour();
    void resources_areCachedAndDistinct();
};

// ---- status light -------------------------------------------------------

void TestControls::light_paintsItsBodyInTheVariantOfItsColour_data()
{
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("lit");
    QTest::addColumn<QRgb>("body");
    QTest::newRow("red dark") << LED_RED << LED_CIRCLE << 0 << Rgb(150, 0, 0);
    QTest::newRow("red bright") << LED_RED << LED_CIRCLE << 1 << Rgb(250, 0, 0);
    QTest::newRow("grey dark") << LED_GREY << LED_CIRCLE << 0 << Rgb(80, 80, 80);
    QTest::newRow("grey bright") << LED_GREY << LED_CIRCLE << 1 << Rgb(130, 130, 130);
    QTest::newRow("blue dark") << LED_BLUE << LED_CIRCLE << 0 << Rgb(0, 0, 150);
    QTest::newRow("blue bright") << LED_BLUE << LED_CIRCLE << 1 << Rgb(0, 0, 250);
    QTest::newRow("green dark is olive") << LED_GREEN << LED_CIRCLE << 0 << Rgb(150, 150, 0);
    QTest::newRow("green bright") << LED_GREEN << LED_CIRCLE << 1 << Rgb(0, 255, 0);
    QTest::newRow("square red dark") << LED_RED << LED_SQUARE << 0 << Rgb(150, 0, 0);
    QTest::newRow("square green bright") << LED_GREEN << LED_SQUARE << 1 << Rgb(0, 255, 0);
}

void TestControls::light_paintsItsBodyInTheVariantOfItsColour()
{
    QFETCH(int, color);
    QFETCH(int, shape);
    QFETCH(int, lit);
    QFETCH(QRgb, body);
    Stage s;
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 27, 29);
    led->SetLed(led, color, shape, 0);
    led->m_bLit = lit;
    const QImage img = Shot(led);
    QCOMPARE(img.pixel(img.width() / 2, img.height() / 2), body);
    QCOMPARE(led->m_bLit, lit);  // only yellow changes it
}

void TestControls::light_circleHasRimAndGlintAtFixedOffset()
{
    Stage s;
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 64, 64);  // large: the glint lies outside the body
    led->SetLed(led, LED_BLUE, LED_CIRCLE, 0);
    const QImage img = Shot(led);
    const QPoint o = led->lampRect().topLeft();
    const QRgb white = Rgb(255, 255, 255);
    for (QPoint p : {QPoint(4, 4), QPoint(5, 5), QPoint(4, 5), QPoint(5, 4)})
        QCOMPARE(img.pixel(o + p), white);
    QVERIFY(img.pixel(o + QPoint(6, 6)) != white);
    QVERIFY(img.pixel(o + QPoint(3, 3)) != white);
    // Along the left edge, from outside in: light rim, dark rim, body.
    const int midY = led->lampRect().center().y();
    QCOMPARE(img.pixel(o.x(), midY), Rgb(192, 192, 192));
    QCOMPARE(img.pixel(o.x() + 1, midY), Rgb(128, 128, 128));
    QCOMPARE(img.pixel(o.x() + 3, midY), Rgb(0, 0, 150));
    // The highlight runs along the lower right of the rim, not the upper left.
    const int whiteLowerRight = CountPixels(img, QRect(led->lampRect().center(), led->lampRect().bottomRight()),
                                            [](QColor c) { return c == Qt::white; });
    const int whiteUpperLeft = CountPixels(img, QRect(o + QPoint(8, 8), led->lampRect().center()),
                                           [](QColor c) { return c == Qt::white; });
    QVERIFY2(whiteLowerRight > 10, qPrintable(QString::number(whiteLowerRight)));
    QCOMPARE(whiteUpperLeft, 0);
}

void TestControls::light_squareHasBevelledEdges()
{
    Stage s;
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 30, 30);
    led->SetLed(led, LED_RED, LED_SQUARE, 0);
    led->m_bLit = 1;
    const QImage img = Shot(led);
    const QRect lamp = led->lampRect();
    QCOMPARE(img.pixel(lamp.left(), lamp.center().y()), Rgb(128, 128, 128));
    QCOMPARE(img.pixel(lamp.center().x(), lamp.top()), Rgb(128, 128, 128));
    QCOMPARE(img.pixel(lamp.right(), lamp.center().y()), Rgb(192, 192, 192));
    QCOMPARE(img.pixel(lamp.center().x(), lamp.bottom()), Rgb(192, 192, 192));
    QCOMPARE(img.pixel(lamp.left() + 1, lamp.top() + 1), Rgb(250, 0, 0));  // a square has no glint
}

void TestControls::light_withoutColourShowsOnlyItsFrame()
{
    Stage s(QColor(10, 60, 110));
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 27, 27);
    QCOMPARE(Shot(led).pixelColor(13, 13), QColor(10, 60, 110));
    led->SetLed(led, 1234, LED_CIRCLE, 0);
    QCOMPARE(Shot(led).pixelColor(13, 13), QColor(10, 60, 110));
}

void TestControls::light_yellowAlternatesOnEveryPaint()
{
    Stage s;
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 27, 27);
    led->SetLed(led, LED_YELLOW, LED_CIRCLE, 0);
    led->m_bLit = 1;
    QCOMPARE(Shot(led).pixel(13, 13), Rgb(200, 200, 0));
    QCOMPARE(led->m_bLit, 0);
    QCOMPARE(Shot(led).pixel(13, 13), Rgb(150, 150, 0));
    QCOMPARE(led->m_bLit, 1);
    QCOMPARE(Shot(led).pixel(13, 13), Rgb(200, 200, 0));
}

// Counts the paints and records the timers a widget receives.
class EventTap : public QObject {
public:
    int paints = 0;
    QList<int> timerIds;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        else if (e->type() == QEvent::Timer)
            timerIds << static_cast<QTimerEvent*>(e)->timerId();
        return false;
    }
};

void TestControls::light_timerRepaintsAndIsReplacedBySetLed()
{
    Stage s;
    auto* led = new CLedCtrl(&s.window);
    led->setGeometry(10, 10, 27, 27);
    QVERIFY(s.show());
    EventTap tap;
    led->installEventFilter(&tap);

    led->SetLed(led, LED_YELLOW, LED_CIRCLE, 20);
    const int first = led->timerId1001();
    QVERIFY(first != 0);
    led->SetLed(led, LED_YELLOW, LED_CIRCLE, 15);
    const int second = led->timerId1001();
    QVERIFY(second != 0);
    QCOMPARE(led->period(), 15);
    tap.timerIds.clear();
    tap.paints = 0;
    QTRY_VERIFY(tap.paints >= 4);  // every tick repaints
    // Only the last timer runs: the first was stopped, not left beside it.
    for (int id : tap.timerIds)
        QCOMPARE(id, second);
    if (first != second)
        QVERIFY(!tap.timerIds.contains(first));

    // Period 0 stops the periodic repaint.
    led->SetLed(led, LED_YELLOW, LED_CIRCLE, 0);
    QCOMPARE(led->timerId1001(), 0);
    QTest::qWait(60);
    const int settled = tap.paints;
    const int lit = led->m_bLit;
    QTest::qWait(120);
    QCOMPARE(tap.paints, settled);
    QCOMPARE(led->m_bLit, lit);
}

// ---- icon button ----------------------------------------------------------

namespace {

// A button set up as the main window sets up its command buttons.
CHoverButton* PlainButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* b = new CHoverButton(caption, parent);
    b->setGeometry(geometry);
    b->SetBtnCursor(IDC_HAND);
    b->SetTransparent(false);
    b->SetNormalColor(QColor(0, 0, 255));
    b->SetHoverColor(QColor(0, 255, 0));
    b->SetFlat(false);
    return b;
}

QRect IconRect(CHoverButton* b)
{
    return QRect(b->iconPos(), QSize(CHoverButton::ICON_SIZE, CHoverButton::ICON_SIZE));
}

}  // namespace

void TestControls::button_hoverPressReleaseAndLeave()
{
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Switch to HID"), QRect(20, 20, 160, 50));
    const QIcon lamp = ToolIcon(IDI_BULB_GREEN);
    b->SetIcon(lamp, lamp);
    QVERIFY(s.show());
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    const QPoint inside(80, 25);

    const QImage normal = Shot(b);
    const QRect caption(b->captionPos(), QSize(b->width() - b->captionPos().x(), b->fontMetrics().height()));
    QVERIFY(CountPixels(normal, caption, IsBlue) > 0);
    QCOMPARE(CountPixels(normal, caption, IsGreen), 0);
    const QRect icon = IconRect(b);

    // Hover: green caption, the leave timer runs.
    QTest::mouseMove(b, inside);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_HOVER));
    QVERIFY(b->isHovering());
    QVERIFY(b->hoverTimerRunning());
    const QImage hover = Shot(b);
    QVERIFY(CountPixels(hover, caption, IsGreen) > 0);

    // Pressed: sunken frame, icon and caption one pixel right and down.
    QTest::mousePress(b, Qt::LeftButton, {}, inside);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_PRESSED));
    const QImage pressed = Shot(b);
    // Inside the outer edge (which a focused button draws black): raised
    // shows the highlight, sunken the shadow.
    QCOMPARE(normal.pixel(1, 1), b->palette().color(QPalette::Light).rgb());
    QCOMPARE(pressed.pixel(1, 1), b->palette().color(QPalette::Dark).rgb());
    QCOMPARE(pressed.copy(icon.translated(1, 1)), normal.copy(icon));
    QVERIFY(pressed.copy(icon) != normal.copy(icon));
    QVERIFY(CountPixels(pressed, caption.translated(1, 1), IsBlue) > 0);

    // Released: hover colours, and the click reaches the owner once.
    QTest::mouseRelease(b, Qt::LeftButton, {}, inside);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_RELEASED));
    QVERIFY(CountPixels(Shot(b), caption, IsGreen) > 0);
    QTest::qWait(50);  // the leave timer ticks with the cursor still inside
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_RELEASED));

    // The cursor leaves: the timer notices, the normal look returns.
    QTest::mouseMove(&s.window, s.outside());
    QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
    QVERIFY(!b->isHovering());
    QVERIFY(!b->hoverTimerRunning());
    const QImage after = Shot(b);
    QVERIFY(CountPixels(after, caption, IsBlue) > 0);
    QCOMPARE(CountPixels(after, caption, IsGreen), 0);
}

void TestControls::button_releaseAfterLeavingWhileHeldEndsInNormalLook()
{
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Setting"), QRect(20, 20, 90, 30));
    QVERIFY(s.show());
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    QTest::mouseMove(b, QPoint(30, 15));
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(30, 15));
    // Dragged off while held: the leave timer ends the hover.
    QCursor::setPos(s.window.mapToGlobal(s.outside()));
    QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
    QTest::mouseRelease(b, Qt::LeftButton, {}, b->mapFrom(&s.window, s.outside()));
    QCOMPARE(clicks.count(), 0);  // released outside: no click
    QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
    QVERIFY(!b->hoverTimerRunning());
}

void TestControls::button_movesWithLeftButtonHeldDoNotHover()
{
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Open"), QRect(20, 20, 90, 30));
    QVERIFY(s.show());
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(b, QPoint(40, 12));  // with the button held
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_PRESSED));
    QVERIFY(!b->isHovering());
    QVERIFY(!b->hoverTimerRunning());
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(40, 12));
}

void TestControls::button_keyboardClickKeepsTheLook()
{
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Setting"), QRect(20, 20, 90, 30));
    QVERIFY(s.show());
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    b->setFocus();
    QTest::keyPress(b, Qt::Key_Space);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
    QCOMPARE(Shot(b).pixel(1, 1), b->palette().color(QPalette::Light).rgb());  // raised
    QTest::keyRelease(b, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
}

void TestControls::button_placesIconByCaptionAndAlignment_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("top");
    QTest::addColumn<QPoint>("icon");  // expected top-left of the icon on a 150x60 button
    QTest::newRow("no caption, left: centred") << QString() << 0 << 3 << QPoint(59, 14);
    QTest::newRow("no caption, above: centred") << QString() << 1 << 3 << QPoint(59, 14);
    QTest::newRow("left of caption") << QStringLiteral("Calibrate") << 0 << -20 << QPoint(5, 14);
    QTest::newRow("above caption") << QStringLiteral("Go") << 1 << 3 << QPoint(59, 3);
    QTest::newRow("unknown alignment as left") << QStringLiteral("Go") << 7 << 3 << QPoint(5, 14);
}

void TestControls::button_placesIconByCaptionAndAlignment()
{
    QFETCH(QString, caption);
    QFETCH(int, align);
    QFETCH(int, top);
    QFETCH(QPoint, icon);
    Stage s;
    CHoverButton* b = PlainButton(&s.window, caption, QRect(20, 20, 150, 60));
    const QIcon lamp = ToolIcon(IDI_BULB_GREEN);
    b->SetIcon(lamp, lamp);
    b->SetIconTop(top);
    b->SetIconAlign(align);
    const QImage img = Shot(b);
    QCOMPARE(img.pixel(icon + QPoint(BULB_GLASS_X, BULB_GLASS_Y)), BULB_GREEN_GLASS);
    if (!caption.isEmpty()) {
        // The caption stands right of (or below) the icon, clear of it.
        const QPoint c = b->captionPos();
        QVERIFY(align == 1 ? c.y() >= icon.y() + 32 : c.x() >= icon.x() + 32);
    }
}

void TestControls::button_disabledLook_data()
{
    QTest::addColumn<bool>("flat");
    QTest::newRow("3-D keeps its frame") << false;
    QTest::newRow("flat shows no frame") << true;
}

void TestControls::button_disabledLook()
{
    QFETCH(bool, flat);
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Download"), QRect(20, 20, 150, 50));
    const QIcon lamp = ToolIcon(IDI_BULB_GREEN);
    b->SetIcon(lamp, lamp);
    b->SetFlat(flat);
    QVERIFY(s.show());
    QTest::mouseMove(b, QPoint(60, 20));
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_HOVER));
    b->setEnabled(false);
    const QImage img = Shot(b);
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
    const QColor face = b->palette().color(QPalette::Button);
    const QPoint corner(b->width() - 1, b->height() - 1);
    if (flat)
        QCOMPARE(img.pixelColor(corner), face);
    else
        QCOMPARE(img.pixel(corner), Rgb(0, 0, 0));
    // Embossed caption: no caption colour, but drawn all the same.
    const QRect caption(b->captionPos(), QSize(b->width() - b->captionPos().x() - 2, b->fontMetrics().height()));
    QCOMPARE(CountPixels(img, caption, IsBlue), 0);
    QCOMPARE(CountPixels(img, caption, IsGreen), 0);
    QVERIFY(CountPixels(img, caption, [&](QColor c) { return c != face; }) > 0);
    // The icon is drawn disabled: no longer its lit green.
    QVERIFY(img.pixel(b->iconPos() + QPoint(BULB_GLASS_X, BULB_GLASS_Y)) != BULB_GREEN_GLASS);
    QCOMPARE(img.pixelColor(b->iconPos() + QPoint(BULB_GLASS_X, BULB_GLASS_Y)).saturation(), 0);
}

void TestControls::button_disabledIgnoresMouseAndKeepsHoverTimer()
{
    Stage s;
    CHoverButton* off = PlainButton(&s.window, QStringLiteral("Off"), QRect(20, 20, 90, 30));
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("On"), QRect(20, 70, 90, 30));
    off->setEnabled(false);
    QVERIFY(s.show());
    QTest::mouseMove(off, QPoint(30, 15));
    QCOMPARE(off->m_nState, int(CHoverButton::STATE_NORMAL));
    QVERIFY(!off->hoverTimerRunning());

    // Disabled while hovering: the hover ends only once enabled again with
    // the cursor outside.
    QTest::mouseMove(b, QPoint(30, 15));
    QVERIFY(b->isHovering());
    b->setEnabled(false);
    QTest::mouseMove(&s.window, s.outside());
    QTest::qWait(50);
    QVERIFY(b->isHovering());
    QVERIFY(b->hoverTimerRunning());
    b->setEnabled(true);
    QTRY_VERIFY(!b->isHovering());
    QVERIFY(!b->hoverTimerRunning());
    QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
}

void TestControls::button_background_data()
{
    QTest::addColumn<bool>("transparent");
    QTest::newRow("transparent: the parent's background") << true;
    QTest::newRow("opaque: the button face") << false;
}

void TestControls::button_background()
{
    QFETCH(bool, transparent);
    const QColor parentColour(30, 90, 40);
    Stage s(parentColour);
    CHoverButton* b = PlainButton(&s.window, QString(), QRect(20, 20, 80, 40));
    b->SetTransparent(transparent);
    const QColor expected = transparent ? parentColour : b->palette().color(QPalette::Button);
    QVERIFY(parentColour != b->palette().color(QPalette::Button));
    QCOMPARE(Shot(b).pixelColor(4, 20), expected);
    // The copy was taken once: a later change of the parent's colour does
    // not reach a transparent button.
    QPalette pal = s.window.palette();
    pal.setColor(QPalette::Window, QColor(200, 10, 10));
    s.window.setPalette(pal);
    QCOMPARE(Shot(b).pixelColor(4, 20), transparent ? parentColour : b->palette().color(QPalette::Button));
}

void TestControls::button_cursor()
{
    Stage s;
    CHoverButton* b = PlainButton(&s.window, QStringLiteral("Open"), QRect(20, 20, 90, 30));
    QVERIFY(b->hasCursor());
    QVERIFY(b->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(b->cursor().hotSpot(), QPoint(5, 0));
    QCOMPARE(b->cursor().pixmap().size(), QSize(32, 32));

    QVERIFY(b->SetBtnCursor(-1));
    QVERIFY(!b->hasCursor());
    QVERIFY(!b->testAttribute(Qt::WA_SetCursor));  // the parent's cursor shows

    QVERIFY(!b->SetBtnCursor(4711));
    QVERIFY(!b->hasCursor());
    QVERIFY(!b->testAttribute(Qt::WA_SetCursor));
}

// ---- mode swatch, framed edit, artwork ----------------------------------

void TestControls::swatch_keepsItsMarkAcrossRepaints()
{
    const QColor window(0xd4, 0xd0, 0xc8);
    Stage s(window);
    auto* sw = new ModeSwatch(&s.window);
    sw->setGeometry(20, 20, 20, 20);
    QVERIFY(s.show());
    const QRect in = sw->insideRect();
    const QPoint topLeft = in.topLeft() + QPoint(1, 1);
    QCOMPARE(Shot(sw).pixelColor(topLeft), window);  // nothing drawn yet

    sw->draw(QStringLiteral("  d  "), QColor(0, 255, 0), QColor());
    QCOMPARE(Shot(sw).pixelColor(topLeft), QColor(0, 255, 0));
    sw->hide();
    sw->show();
    sw->repaint();
    const QImage again = Shot(sw);
    QCOMPARE(again.pixelColor(topLeft), QColor(0, 255, 0));
    QCOMPARE(again.pixelColor(in.right() - 1, in.top() + 1), QColor(0, 255, 0));  // the cell spans the frame
    QVERIFY(CountPixels(again, in, [](QColor c) { return c.lightness() < 60; }) > 0);  // the letter

    // Blanked with an invisible text in the button face over the mark.
    const QColor face(0xd4, 0xd0, 0xc8);
    sw->draw(QStringLiteral("9dsdada"), face, face);
    const QImage blank = Shot(sw);
    QCOMPARE(CountPixels(blank, in, [](QColor c) { return c == QColor(0, 255, 0); }), 0);
    QCOMPARE(blank.pixelColor(topLeft), face);
}

void TestControls::frameEdit_drawsFrameInItsColour()
{
    Stage s;
    auto* e = new CFrameEdit(&s.window);
    e->setGeometry(20, 20, 80, 24);
    e->setText(QStringLiteral("2f5a"));
    const QColor green(0, 128, 64);
    QVERIFY(Shot(e).pixelColor(e->frameRect().center().x(), e->frameRect().top()) != green);
    e->SetFrameColor(green);
    const QImage img = Shot(e);
    const QRect f = e->frameRect();
    QVERIFY(f.width() > 10 && f.height() > 10);
    for (QPoint p : {QPoint(f.center().x(), f.top()), QPoint(f.center().x(), f.bottom()),
                     QPoint(f.left(), f.center().y()), QPoint(f.right(), f.center().y())})
        QCOMPARE(img.pixelColor(p), green);
    QVERIFY(img.pixelColor(f.left() + 2, f.center().y()) != green);  // a frame, not a fill
}

void TestControls::resources_areCachedAndDistinct()
{
    QCOMPARE(ToolIcon(IDI_BULB_GREY).cacheKey(), ToolIcon(IDI_BULB_GREY).cacheKey());
    QVERIFY(ToolIcon(IDI_BULB_GREY).cacheKey() != ToolIcon(IDI_BULB_GREEN).cacheKey());
    const QPoint glass(BULB_GLASS_X, BULB_GLASS_Y);
    QCOMPARE(ToolIcon(IDI_BULB_GREEN).pixmap(32, 32).toImage().pixel(glass), BULB_GREEN_GLASS);
    QCOMPARE(ToolIcon(IDI_BULB_GREY).pixmap(32, 32).toImage().pixel(glass), BULB_GREY_GLASS);
    QVERIFY(!ToolIcon(IDR_MAINFRAME).isNull());
    QVERIFY(ToolIcon(999).isNull());
    QVERIFY(!ToolCursor(999));
    QVERIFY(ToolBitmap(999).isNull());
    QVERIFY(!ToolBitmap(IDB_PANEL).isNull());
    const QStringList lines = ProductText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("MORVAX Tool"));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
