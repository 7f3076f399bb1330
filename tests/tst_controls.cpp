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

bool IsGreen(QColor c) { return c.green() > 180 && c.red() < 90 && c.blue() < 90; }
bool IsBlue(QColor c) { return c.blue() > 180 && c.red() < 90 && c.green() < 90; }

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
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    QPoint outside() const { return QPoint(250, 130); }  // in window coordinates, beside every control
};

// A button set up as the main window sets up its command buttons, with the
// green lamp as its icon.
CHoverButton* PlainButton(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* b = new CHoverButton(caption, parent);
    b->setGeometry(geometry);
    b->SetBtnCursor(IDC_HAND);
    b->SetTransparent(false);
    b->SetNormalColor(QColor(0, 0, 255));
    b->SetHoverColor(QColor(0, 255, 0));
    b->SetFlat(false);
    b->SetIcon(ToolIcon(IDI_BULB_GREEN), ToolIcon(IDI_BULB_GREEN));
    return b;
}

}  // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    // Every case starts with the cursor away from its window, so that its
    // first move is a move.
    void init() { QCursor::setPos(QPoint(3000, 3000)); }

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

        QTest::mouseMove(b, inside);
        QVERIFY(CountPixels(Shot(b), caption, IsGreen) > 0);

        // Pressed: sunken frame (shadow inside the outer edge where raised shows
        // the highlight), icon and caption one pixel right and down.
        QTest::mousePress(b, Qt::LeftButton, {}, inside);
        QTest::mouseMove(b, inside + QPoint(20, 5));  // with the button held: no change
        const QImage pressed = Shot(b);
        QCOMPARE(normal.pixel(1, 1), b->palette().color(QPalette::Light).rgb());
        QCOMPARE(pressed.pixel(1, 1), b->palette().color(QPalette::Dark).rgb());
        QCOMPARE(pressed.copy(icon.translated(1, 1)), normal.copy(icon));
        QVERIFY(pressed.copy(icon) != normal.copy(icon));
        QVERIFY(CountPixels(pressed, caption.translated(1, 1), IsBlue) > 0);

        // Released: hover colours until the cursor leaves, the click reaches
        // the owner once.
        QTest::mouseRelease(b, Qt::LeftButton, {}, inside);
        QCOMPARE(clicks.count(), 1);
        // Timers fire in the order they fall due: once a later one has, the
        // leave timer has looked at the cursor, still inside.
        bool later = false;
        QTimer::singleShot(50, [&] { later = true; });  // five leave-timer periods
        QTRY_VERIFY(later);
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_RELEASED));
        QVERIFY(CountPixels(Shot(b), caption, IsGreen) > 0);
        QTest::mouseMove(&s.window, s.outside());
        QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
        QVERIFY(!b->hoverTimerRunning());
        const QImage after = Shot(b);
        QVERIFY(CountPixels(after, caption, IsBlue) > 0);
        QCOMPARE(CountPixels(after, caption, IsGreen), 0);
    }

    void button_releaseAfterLeavingWhileHeldEndsInNormalLook()
    {
        Stage s;
        CHoverButton* b = PlainButton(&s.window, QStringLiteral("Setting"), QRect(20, 20, 90, 30));
        QVERIFY(s.show());
        QTest::mouseMove(b, QPoint(30, 15));
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(30, 15));
        // Dragged off while held: the leave timer ends the hover.
        QCursor::setPos(s.window.mapToGlobal(s.outside()));
        QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
        // The release shows the released look and tracks the cursor again, so
        // the leave timer brings the normal look back.
        QTest::mouseRelease(b, Qt::LeftButton, {}, b->mapFrom(&s.window, s.outside()));
        QTRY_COMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
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
        QTest::mouseMove(b, QPoint(60, 20));  // hovering, as the hover case shows
        b->setEnabled(false);
        const QImage img = Shot(b);
        QCOMPARE(b->m_nState, int(CHoverButton::STATE_NORMAL));
        const QColor face = b->palette().color(QPalette::Button);
        QCOMPARE(img.pixelColor(b->width() - 1, b->height() - 1), flat ? face : QColor(0, 0, 0));
        // Embossed caption: no caption colour, but drawn all the same.
        const QRect caption(b->captionPos(), QSize(b->width() - b->captionPos().x() - 2, b->fontMetrics().height()));
        QCOMPARE(CountPixels(img, caption, [](QColor c) { return IsBlue(c) || IsGreen(c); }), 0);
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
