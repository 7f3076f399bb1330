// The custom controls, tested by their pixels under the offscreen platform:
// status light and icon button.
#include "TestSupport.h"
#include "controls/HoverButton.h"
#include "controls/LedCtrl.h"
#include "resources/Resources.h"
#include <QAbstractEventDispatcher>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QColor BACKGROUND(0xe0, 0xe0, 0xe0);

// What the window shows over a child widget, in the child's coordinates.
QImage Shot(QWidget* w)
{
    QWidget* top = w->window();
    return top->grab(QRect(w->mapTo(top, QPoint(0, 0)), w->size())).toImage();
}

// Whether a pixel is of the caption colour want, anti-aliased edges aside.
std::function<bool(QColor)> InColour(QColor want)
{
    return [want](QColor c) {
        return std::abs(c.red() - want.red()) < 80 && std::abs(c.green() - want.green()) < 80 &&
               std::abs(c.blue() - want.blue()) < 80;
    };
}

// A shown window with a solid background of its own, holding the controls.
struct Stage {
    QWidget window;
    Stage()
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, BACKGROUND);
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        window.resize(260, 140);
    }
    // Shown, with the pointer on the window beside every control, so that
    // Qt knows where it is and sends the enter of the first control it meets.
    bool show()
    {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QTest::mouseMove(window.windowHandle(), outside());
        return true;
    }
    QPoint outside() const { return QPoint(250, 130); }  // in window coordinates, beside every control

    // The pointer and the left mouse button through the window system, as
    // the mouse drives them: Qt picks the receiver, keeps a held button's
    // grab and sends enter and leave as it does for a real mouse. Positions
    // are in w's coordinates.
    void move(QWidget* w, QPoint p) { QTest::mouseMove(window.windowHandle(), w->mapTo(&window, p)); }
    void moveOutside() { QTest::mouseMove(window.windowHandle(), outside()); }
    void press(QWidget* w, QPoint p)
    {
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, w->mapTo(&window, p));
    }
    void release(QWidget* w, QPoint p)
    {
        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, w->mapTo(&window, p));
    }
};

// A button set up as the main window sets up its command buttons, with the
// green lamp as its icon.
CHoverButton* PlainButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* b = new CHoverButton(caption, parent);
    b->setGeometry(geometry);
    CToolDlg::ConfigurePlain(b);
    b->SetIcon(ToolIcon(IDI_BULB_GREEN), ToolIcon(IDI_BULB_GREEN));
    return b;
}

// Where a button's caption is in the raised looks.
QRect CaptionArea(CHoverButton* b)
{
    return QRect(b->captionPos(), QSize(b->width() - b->captionPos().x() - 2, b->fontMetrics().height()));
}

// The look a PlainButton shows, told by its pixels: the frame's inner
// top-left pixel (highlight when raised, shadow when sunken) and the
// caption's colour where the caption is in that look (one pixel right and
// down when sunken). A disabled button's embossed caption has neither
// colour.
QString LookOf(CHoverButton* b, const QRect& caption)
{
    const QImage img = Shot(b);
    const QRgb inner = img.pixel(1, 1);
    const bool sunken = inner == b->palette().color(QPalette::Dark).rgb();
    if (!sunken && inner != b->palette().color(QPalette::Light).rgb())
        return QStringLiteral("no 3-D frame");
    const QRect area = sunken ? caption.translated(1, 1) : caption;
    const bool hover = CountPixels(img, area, InColour(b->hoverColor())) > 0,
               normal = CountPixels(img, area, InColour(b->normalColor())) > 0;
    if (hover == normal)
        return hover ? QStringLiteral("two caption colours") : QStringLiteral("disabled");
    if (sunken)
        return normal ? QStringLiteral("pressed") : QStringLiteral("sunken hover");
    return normal ? QStringLiteral("normal") : QStringLiteral("hover");
}

// The state a button was in when a leave reached it, before the button saw
// the leave; -1 while none has come.
struct StateAtLeave : QObject {
    CHoverButton* button;
    int state = -1;
    explicit StateAtLeave(CHoverButton* b) : button(b) { b->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Leave)
            state = button->m_nState;
        return false;
    }
};

}  // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    // ---- status light -------------------------------------------------------

    void light_data()
    {
        QTest::addColumn<int>("color");
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("lit");
        QTest::addColumn<QColor>("body");
        QTest::addColumn<QString>("name");  // for assistive technology
        QTest::newRow("red dark") << LED_RED << LED_CIRCLE << 0 << QColor(150, 0, 0) << "dark red";
        QTest::newRow("red bright") << LED_RED << LED_CIRCLE << 1 << QColor(250, 0, 0) << "bright red";
        QTest::newRow("grey dark") << LED_GREY << LED_CIRCLE << 0 << QColor(80, 80, 80) << "dark grey";
        QTest::newRow("grey bright") << LED_GREY << LED_CIRCLE << 1 << QColor(130, 130, 130) << "bright grey";
        QTest::newRow("blue dark") << LED_BLUE << LED_CIRCLE << 0 << QColor(0, 0, 150) << "dark blue";
        QTest::newRow("blue bright") << LED_BLUE << LED_CIRCLE << 1 << QColor(0, 0, 250) << "bright blue";
        QTest::newRow("green dark is olive") << LED_GREEN << LED_CIRCLE << 0 << QColor(150, 150, 0) << "dark green";
        QTest::newRow("green bright") << LED_GREEN << LED_CIRCLE << 1 << QColor(0, 255, 0) << "bright green";
        QTest::newRow("square green bright") << LED_GREEN << LED_SQUARE << 1 << QColor(0, 255, 0) << "bright green";
        QTest::newRow("unknown colour: frame only") << 1234 << LED_CIRCLE << 1 << BACKGROUND << "no lamp";
    }

    void light()
    {
        QFETCH(int, color);
        QFETCH(int, shape);
        QFETCH(int, lit);
        QFETCH(QColor, body);
        Stage s;
        auto* led = new CLedCtrl(&s.window);
        led->setGeometry(10, 10, 27, 29);
        led->SetLed(led, color, shape, 0);
        led->m_bLit = lit;
        led->UpdateAccessibleName();
        QTEST(AccessibleName(led), "name");
        const QImage img = Shot(led);
        QCOMPARE(img.pixelColor(img.width() / 2, img.height() / 2), body);
        QCOMPARE(led->m_bLit, lit);  // only yellow changes it
        if (body == BACKGROUND)
            return;
        // The shape: a circle leaves the lamp's corner to the background and
        // has its white glint at (4, 4); a square fills the corner with its
        // dark top-left edge and has the body at (4, 4).
        const QPoint corner = led->lampRect().topLeft();
        const bool circle = shape == LED_CIRCLE;
        QCOMPARE(img.pixelColor(corner), circle ? BACKGROUND : QColor(128, 128, 128));
        QCOMPARE(img.pixelColor(corner + QPoint(4, 4)), circle ? QColor(Qt::white) : body);
    }

    void light_yellowBlinksWithTimer1001()
    {
        Stage s;
        auto* led = new CLedCtrl(&s.window);
        led->setGeometry(10, 10, 27, 27);
        led->SetLabel(QStringLiteral("HID light"));
        QCOMPARE(AccessibleName(led), QStringLiteral("HID light: no lamp"));  // before any SetLed
        led->SetLed(led, LED_YELLOW, LED_CIRCLE, 0);
        led->m_bLit = 1;
        // Each paint shows the other variant.
        QCOMPARE(Shot(led).pixelColor(13, 13), QColor(200, 200, 0));
        QCOMPARE(led->m_bLit, 0);
        QCOMPARE(Shot(led).pixelColor(13, 13), QColor(150, 150, 0));
        QCOMPARE(led->m_bLit, 1);

        // Only the last SetLed's timer runs, with its period (the earlier one
        // was stopped, not left beside it), and its ticks repaint, so the
        // light blinks.
        QVERIFY(s.show());
        led->SetLed(led, LED_YELLOW, LED_CIRCLE, 20);
        led->SetLed(led, LED_YELLOW, LED_CIRCLE, 15);
        const auto timers = QAbstractEventDispatcher::instance()->registeredTimers(led);
        QCOMPARE(timers.size(), 1);
        QCOMPARE(timers.first().interval, 15);
        QCOMPARE(AccessibleName(led), QStringLiteral("HID light: blinking yellow"));
        const int lit = led->m_bLit;
        QTRY_COMPARE(led->m_bLit, 1 - lit);
        // Period 0 runs no timer at all (not one that fires whenever idle).
        led->SetLed(led, LED_YELLOW, LED_CIRCLE, 0);
        QVERIFY(QAbstractEventDispatcher::instance()->registeredTimers(led).isEmpty());
    }

    void button_hoverPressReleaseAndLeave()
    {
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Switch to HID"), QRect(20, 20, 160, 50));
        QVERIFY(s.show());
        QSignalSpy clicks(b, &QAbstractButton::clicked);
        const QPoint inside(80, 25);
        const QImage normal = Shot(b);
        const QRect caption(b->captionPos(), QSize(b->width() - b->captionPos().x(), b->fontMetrics().height()));
        const QRect icon(b->iconPos(), QSize(CHoverButton::ICON_SIZE, CHoverButton::ICON_SIZE));

        s.move(b, inside);
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_HOVER));
        QVERIFY(CountPixels(Shot(b), caption, InColour(b->hoverColor())) > 0);

        // Pressed: sunken frame (shadow inside the outer edge where raised shows
        // the highlight), icon and caption one pixel right and down.
        s.press(b, inside);
        s.move(b, inside + QPoint(20, 5));  // with the button held: no change
        const QImage pressed = Shot(b);
        QCOMPARE(normal.pixel(1, 1), b->palette().color(QPalette::Light).rgb());
        QCOMPARE(pressed.pixel(1, 1), b->palette().color(QPalette::Dark).rgb());
        QCOMPARE(pressed.copy(icon.translated(1, 1)), normal.copy(icon));
        QVERIFY(pressed.copy(icon) != normal.copy(icon));
        QVERIFY(CountPixels(pressed, caption.translated(1, 1), InColour(b->normalColor())) > 0);

        // Released: hover colours until the pointer leaves, the click reaches
        // the owner once.
        s.release(b, inside + QPoint(20, 5));
        QCOMPARE(clicks.count(), 1);
        s.move(b, inside);
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_RELEASED));
        QVERIFY(CountPixels(Shot(b), caption, InColour(b->hoverColor())) > 0);
        s.moveOutside();
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
        QVERIFY(!b->isHovering());
        const QImage after = Shot(b);
        QVERIFY(CountPixels(after, caption, InColour(b->normalColor())) > 0);
        QCOMPARE(CountPixels(after, caption, InColour(b->hoverColor())), 0);
    }

    // Pressed over the button, then moved with the button held along a path
    // ("out" beside the button, "in" over it) and released where the path
    // ends. Qt sends the held button no leave or enter until the release.
    void button_dragWhileHeld_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::newRow("out, released outside") << QStringList{"out"};
        QTest::newRow("out and back, released over it") << QStringList{"out", "in"};
        QTest::newRow("out, back, out, released outside") << QStringList{"out", "in", "out"};
    }

    void button_dragWhileHeld()
    {
        QFETCH(QStringList, path);
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Setting"), QRect(20, 20, 90, 30));
        QVERIFY(s.show());
        QSignalSpy clicks(b, &QAbstractButton::clicked);
        const QRect caption = CaptionArea(b);
        const QPoint inside(30, 15), beside = b->mapFrom(&s.window, s.outside());
        s.move(b, inside);
        s.press(b, inside);
        QCOMPARE(LookOf(b, caption), QStringLiteral("pressed"));

        // Normal while the pointer is beside the button, pressed over it.
        QPoint at = inside;
        for (const QString& step : path) {
            at = step == "out" ? beside : (at == inside ? inside + QPoint(25, 5) : inside);
            s.move(b, at);
            const bool over = step == "in";
            QCOMPARE(LookOf(b, caption), over ? QStringLiteral("pressed") : QStringLiteral("normal"));
            QCOMPARE(b->m_nState, int(over ? CHoverButton::STATE_PRESSED : CHoverButton::STATE_NORMAL));
            QCOMPARE(b->isHovering(), over);
        }

        // The release looks where the pointer is: the released look (hover
        // colours) and a click over the button, the normal look beside it.
        // Beside it the release alone brings the normal look: the leave that
        // Qt sends a held button after the release finds it already there
        // (and a button with a native window of its own gets no such leave).
        const bool over = path.last() == "in";
        StateAtLeave atLeave(b);
        s.release(b, at);
        QCOMPARE(atLeave.state, over ? -1 : int(CHoverButton::STATE_NORMAL));
        QCOMPARE(clicks.count(), over ? 1 : 0);
        QCOMPARE(LookOf(b, caption), over ? QStringLiteral("hover") : QStringLiteral("normal"));
        QCOMPARE(b->m_nState, int(over ? CHoverButton::STATE_RELEASED : CHoverButton::STATE_NORMAL));
        QCOMPARE(b->isHovering(), over);
        QCOMPARE(b->currentTextColor(), over ? b->hoverColor() : b->normalColor());

        // And hover goes on as before: over the button after leaving it.
        s.moveOutside();
        QCOMPARE(LookOf(b, caption), QStringLiteral("normal"));
        s.move(b, inside);
        QCOMPARE(LookOf(b, caption), QStringLiteral("hover"));
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_HOVER));
    }

    // Disabled with the pointer over it or not ("hovered"), the pointer
    // moved along a path while disabled, then enabled again.
    void button_disabledWhileHovered_data()
    {
        QTest::addColumn<bool>("hovered");
        QTest::addColumn<QStringList>("path");
        QTest::newRow("hovered, enabled with the pointer still over it") << true << QStringList{};
        QTest::newRow("hovered, enabled after the pointer left") << true << QStringList{"out"};
        QTest::newRow("hovered, pointer left and came back") << true << QStringList{"out", "in"};
        QTest::newRow("not hovered, pointer came while disabled") << false << QStringList{"in"};
    }

    void button_disabledWhileHovered()
    {
        QFETCH(bool, hovered);
        QFETCH(QStringList, path);
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Download"), QRect(20, 20, 150, 50));
        QVERIFY(s.show());
        const QRect caption = CaptionArea(b);
        const QPoint inside(60, 20);
        if (hovered)
            s.move(b, inside);
        QCOMPARE(LookOf(b, caption), hovered ? QStringLiteral("hover") : QStringLiteral("normal"));
        const QColor before = b->currentTextColor();

        // Disabled: the disabled look whatever the pointer does, the hover
        // kept as it was.
        b->setEnabled(false);
        QCOMPARE(LookOf(b, caption), QStringLiteral("disabled"));
        for (const QString& step : path) {
            if (step == "out")
                s.moveOutside();
            else
                s.move(b, inside);
            QCOMPARE(LookOf(b, caption), QStringLiteral("disabled"));
            QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
            QCOMPARE(b->isHovering(), hovered);
            QCOMPARE(b->currentTextColor(), before);
        }

        // Enabled: the look of where the pointer is now.
        const bool over = path.isEmpty() || path.last() == "in";
        b->setEnabled(true);
        QCOMPARE(LookOf(b, caption), over ? QStringLiteral("hover") : QStringLiteral("normal"));
        QCOMPARE(b->m_nState, int(over ? CHoverButton::STATE_HOVER : CHoverButton::STATE_NORMAL));
        QCOMPARE(b->isHovering(), over);
        QCOMPARE(b->currentTextColor(), over ? b->hoverColor() : b->normalColor());
    }

    void button_disabledLook_data()
    {
        QTest::addColumn<bool>("flat");
        QTest::newRow("3-D keeps its frame") << false;
        QTest::newRow("flat shows no frame") << true;
    }

    void button_disabledLook()
    {
        QFETCH(bool, flat);
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Download"), QRect(20, 20, 150, 50));
        b->SetFlat(flat);
        QVERIFY(s.show());
        s.move(b, QPoint(60, 20));  // hovering, as the hover case shows
        b->setEnabled(false);
        const QImage img = Shot(b);
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
        const QColor face = b->palette().color(QPalette::Button);
        QCOMPARE(img.pixelColor(b->width() - 1, b->height() - 1), flat ? face : QColor(0, 0, 0));
        // Embossed caption: no caption colour, but drawn all the same.
        const QRect caption(b->captionPos(), QSize(b->width() - b->captionPos().x() - 2, b->fontMetrics().height()));
        const auto normal = InColour(b->normalColor()), hover = InColour(b->hoverColor());
        QCOMPARE(CountPixels(img, caption, [&](QColor c) { return normal(c) || hover(c); }), 0);
        QVERIFY(CountPixels(img, caption, [&](QColor c) { return c != face; }) > 0);
        // The icon is drawn disabled: grey, no longer its lit green.
        QCOMPARE(img.pixelColor(b->iconPos() + QPoint(BULB_GLASS_X, BULB_GLASS_Y)).saturation(), 0);
    }

    void button_cursor()
    {
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Open"), QRect(20, 20, 90, 30));
        QCOMPARE(b->cursor().hotSpot(), QPoint(5, 0));  // the hand, not the parent's arrow
        QVERIFY(b->SetBtnCursor(-1));
        QVERIFY(!b->testAttribute(Qt::WA_SetCursor));  // the parent's cursor shows
        b->SetBtnCursor(IDC_HAND);
        QVERIFY(!b->SetBtnCursor(4711));
        QVERIFY(!b->testAttribute(Qt::WA_SetCursor));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
