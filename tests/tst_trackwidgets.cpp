// Range frame, time scale and track panel.
#include "OvTestSupport.h"

#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvCustomRangeWidget.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvScaleWidget.h>
#include <OvUIUtility/OvTrackSettingWidget.h>

#include <qwt_scale_div.h>

#include <QLayout>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(OvCustomRangeWidget::ResizeRegion)

namespace {
// The protected switch, reachable for the test.
class LockableRange : public OvCustomRangeWidget
{
public:
    using OvCustomRangeWidget::OvCustomRangeWidget;
    using OvCustomRangeWidget::setCanMoveResize;
};

void sendMouse(QWidget* w, QEvent::Type type, const QPoint& pos, const QPoint& global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

// Press at pos, drag by delta with the left button held, release.
void drag(QWidget* w, const QPoint& pos, const QPoint& delta)
{
    const QPoint global = w->mapToGlobal(pos);
    sendMouse(w, QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, pos + delta / 2, global + delta / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, pos + delta, global + delta, Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, pos + delta, global + delta, Qt::LeftButton, Qt::NoButton);
}
}  // namespace

class TstTrackWidgets : public QObject
{
    Q_OBJECT

private slots:
    // ---- range frame ----
    void rangeRegions_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<OvCustomRangeWidget::ResizeRegion>("region");
        QTest::addColumn<int>("cursor");
        using R = OvCustomRangeWidget;
        // A 100 x 60 frame; the band is 5 pixels wide.
        QTest::newRow("top-left corner") << QPoint(0, 0) << R::TopLeft << int(Qt::SizeFDiagCursor);
        QTest::newRow("top") << QPoint(50, 2) << R::Top << int(Qt::SizeVerCursor);
        QTest::newRow("top-right") << QPoint(99, 4) << R::TopRight << int(Qt::SizeBDiagCursor);
        QTest::newRow("right") << QPoint(97, 30) << R::Right << int(Qt::SizeHorCursor);
        QTest::newRow("bottom-right") << QPoint(99, 59) << R::BottomRight << int(Qt::SizeFDiagCursor);
        QTest::newRow("bottom") << QPoint(50, 56) << R::Bottom << int(Qt::SizeVerCursor);
        QTest::newRow("bottom-left") << QPoint(3, 58) << R::BottomLeft << int(Qt::SizeBDiagCursor);
        QTest::newRow("left") << QPoint(4, 30) << R::Left << int(Qt::SizeHorCursor);
        QTest::newRow("band's inner edge belongs inside") << QPoint(5, 30) << R::NoRegion << int(Qt::ArrowCursor);
        QTest::newRow("right band starts at w - 5") << QPoint(95, 30) << R::Right << int(Qt::SizeHorCursor);
        QTest::newRow("middle") << QPoint(50, 30) << R::NoRegion << int(Qt::ArrowCursor);
        QTest::newRow("outside") << QPoint(100, 30) << R::NoRegion << int(Qt::ArrowCursor);
    }

    void rangeRegions()
    {
        QFETCH(QPoint, pos);
        QFETCH(OvCustomRangeWidget::ResizeRegion, region);
        QFETCH(int, cursor);
        QCOMPARE(OvCustomRangeWidget::regionAt(pos, QSize(100, 60)), region);
        QCOMPARE(int(OvCustomRangeWidget::cursorFor(region)), cursor);
    }

    void rangeResize_data()
    {
        QTest::addColumn<OvCustomRangeWidget::ResizeRegion>("region");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");
        using R = OvCustomRangeWidget;
        // From (100, 100) 200 x 100; the opposite edges stay put.
        QTest::newRow("top down") << R::Top << QPoint(7, 10) << QRect(100, 110, 200, 90);
        QTest::newRow("top up") << R::Top << QPoint(0, -20) << QRect(100, 80, 200, 120);
        QTest::newRow("top-right") << R::TopRight << QPoint(15, -5) << QRect(100, 95, 215, 105);
        QTest::newRow("right") << R::Right << QPoint(30, 7) << QRect(100, 100, 230, 100);
        QTest::newRow("bottom-right") << R::BottomRight << QPoint(-50, 20) << QRect(100, 100, 150, 120);
        QTest::newRow("bottom") << R::Bottom << QPoint(3, -30) << QRect(100, 100, 200, 70);
        QTest::newRow("bottom-left") << R::BottomLeft << QPoint(10, 10) << QRect(110, 100, 190, 110);
        QTest::newRow("left") << R::Left << QPoint(-25, 40) << QRect(75, 100, 225, 100);
        QTest::newRow("top-left") << R::TopLeft << QPoint(5, 5) << QRect(105, 105, 195, 95);
        QTest::newRow("left past the right edge") << R::Left << QPoint(500, 0) << QRect(289, 100, 11, 100);
        QTest::newRow("top past the bottom edge") << R::Top << QPoint(0, 500) << QRect(100, 189, 200, 11);
        QTest::newRow("bottom-right collapsed") << R::BottomRight << QPoint(-900, -900) << QRect(100, 100, 11, 11);
        QTest::newRow("no region") << R::NoRegion << QPoint(40, 40) << QRect(100, 100, 200, 100);
    }

    void rangeResize()
    {
        QFETCH(OvCustomRangeWidget::ResizeRegion, region);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        QCOMPARE(OvCustomRangeWidget::resizedGeometry(region, QRect(100, 100, 200, 100), delta, QSize(11, 11)), expected);
    }

    void rangeDefaults()
    {
        OvCustomRangeWidget range;
        QCOMPARE(range.objectName(), QStringLiteral("OvCustomRangeWidget"));
        QVERIFY(range.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(range.focusPolicy(), Qt::ClickFocus);
        QVERIFY(range.canMoveResize());
        QVERIFY(range.layout() != nullptr);
        QCOMPARE(range.layout()->spacing(), 0);
    }

    // A child frame: edge drags and move drags in the parent's coordinates.
    void rangeDragsAsChild_data()
    {
        QTest::addColumn<QPoint>("pressAt");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<int>("resizeSignals");

        QTest::newRow("top edge up") << QPoint(100, 2) << QPoint(0, -20) << QRect(50, 30, 200, 120) << 2;
        QTest::newRow("right edge out") << QPoint(198, 50) << QPoint(40, 9) << QRect(50, 50, 240, 100) << 2;
        QTest::newRow("bottom-left corner") << QPoint(1, 98) << QPoint(-10, 15) << QRect(40, 50, 210, 115) << 2;
        QTest::newRow("move by the middle") << QPoint(100, 50) << QPoint(30, 10) << QRect(80, 60, 200, 100) << 1;
    }

    void rangeDragsAsChild()
    {
        QFETCH(QPoint, pressAt);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        QFETCH(int, resizeSignals);
        QWidget host;
        host.resize(400, 300);
        auto* range = new OvCustomRangeWidget(&host);
        range->setGeometry(50, 50, 200, 100);
        host.move(200, 150);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QSignalSpy spy(range, &OvCustomRangeWidget::startResizeMove);
        drag(range, pressAt, delta);
        QCOMPARE(range->geometry(), expected);
        // Border drags announce their start; every release announces the end.
        QCOMPARE(spy.count(), resizeSignals);
        if (resizeSignals == 2)
            QCOMPARE(spy.first().first().toBool(), true);
        QCOMPARE(spy.last().first().toBool(), false);
        QCOMPARE(range->resizeRegion(), OvCustomRangeWidget::NoRegion);
        QCOMPARE(range->cursor().shape(), Qt::ArrowCursor);
    }

    void rangeHoverShowsCursorOnly()
    {
        OvCustomRangeWidget range;
        range.resize(100, 60);
        QSignalSpy spy(&range, &OvCustomRangeWidget::startResizeMove);
        sendMouse(&range, QEvent::MouseMove, QPoint(2, 30), range.mapToGlobal(QPoint(2, 30)), Qt::NoButton, Qt::NoButton);
        QCOMPARE(range.cursor().shape(), Qt::SizeHorCursor);
        QCOMPARE(range.size(), QSize(100, 60));
        QCOMPARE(spy.count(), 0);
    }

    void rangeLocked()
    {
        QWidget host;
        host.resize(300, 200);
        auto* range = new LockableRange(&host);
        range->setGeometry(20, 20, 100, 60);
        range->setCanMoveResize(false);
        QSignalSpy spy(range, &OvCustomRangeWidget::startResizeMove);
        drag(range, QPoint(50, 2), QPoint(0, -10));
        drag(range, QPoint(50, 30), QPoint(20, 20));
        QCOMPARE(range->geometry(), QRect(20, 20, 100, 60));
        QCOMPARE(spy.count(), 0);
    }

    // ---- scale ----
    void scaleDivision()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        QCOMPARE(scale.objectName(), QStringLiteral("OvScaleWidget"));
        const QwtScaleDiv& div = scale.scaleDraw()->scaleDiv();
        QCOMPARE(div.lowerBound(), 0.0);
        QCOMPARE(div.upperBound(), 100.0);
        const QList<double> major = div.ticks(QwtScaleDiv::MajorTick);
        QVERIFY(major.contains(0.0) && major.contains(100.0));
        QVERIFY(major.size() <= 21);
        QVERIFY(!div.ticks(QwtScaleDiv::MinorTick).isEmpty());
        QCOMPARE(scale.value(), 0);
        QCOMPARE(scale.playMode(), int(OvScaleWidget::Stopped));
        QVERIFY(scale.hasMouseTracking());
    }

    void playHeadShape()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(520, 60);
        QCoreApplication::processEvents();
        int x = scale.pixelFor(0);
        // The first shape is narrower.
        QCOMPARE(scale.playHead(), QPolygon({QPoint(x, 36), QPoint(x - 4, 28), QPoint(x - 4, 18), QPoint(x + 4, 18),
                                             QPoint(x + 4, 28)}));
        QSignalSpy moved(&scale, &OvScaleWidget::valueChanged);
        scale.setValue(50);
        x = scale.pixelFor(50);
        QVERIFY(x > scale.pixelFor(0));
        QCOMPARE(scale.playHead(), QPolygon({QPoint(x, 36), QPoint(x - 6, 28), QPoint(x - 6, 18), QPoint(x + 6, 18),
                                             QPoint(x + 6, 28)}));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.first().first().toInt(), 50);
        // The play-head follows the scale when the widget is resized.
        scale.resize(260, 60);
        QCoreApplication::processEvents();
        QCOMPARE(scale.playHead().point(0).x(), scale.pixelFor(50));
    }

    void playback_data()
    {
        QTest::addColumn<bool>("loop");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("playing");

        QTest::newRow("normal, one step") << false << 0 << 1 << 1 << true;
        QTest::newRow("normal, stops at the end and rests at 0") << false << 98 << 2 << 0 << false;
        QTest::newRow("normal, from the end") << false << 100 << 1 << 0 << false;
        QTest::newRow("loop, 99 is followed by 0") << true << 99 << 1 << 0 << true;
        QTest::newRow("loop, carries on from the start") << true << 98 << 4 << 2 << true;
        QTest::newRow("loop, a whole lap") << true << 37 << 100 << 37 << true;
    }

    void playback()
    {
        QFETCH(bool, loop);
        QFETCH(int, start);
        QFETCH(int, ticks);
        QFETCH(int, value);
        QFETCH(bool, playing);
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.setValue(start);
        loop ? scale.loopPlay() : scale.normalPlay();
        QCOMPARE(scale.playMode(), loop ? int(OvScaleWidget::LoopPlay) : int(OvScaleWidget::NormalPlay));
        for (int i = 0; i < ticks; ++i)
            scale.startPlay();
        QCOMPARE(scale.value(), value);
        QCOMPARE(scale.isPlaying(), playing);
        QCOMPARE(scale.playMode(), playing ? (loop ? 1 : 0) : int(OvScaleWidget::Stopped));
        QCOMPARE(scale.playHead().point(0).x(), scale.pixelFor(value));
    }

    void playbackRunsOnA40msTimer()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        auto* timer = scale.findChild<QTimer*>();
        QVERIFY(timer != nullptr);
        QVERIFY(!timer->isActive());
        scale.normalPlay();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 40);
        QTRY_VERIFY_WITH_TIMEOUT(scale.value() >= 2, 2000);
        scale.stopPlay();
        QVERIFY(!timer->isActive());
        const int stoppedAt = scale.value();
        QTest::qWait(120);
        QCOMPARE(scale.value(), stoppedAt);
    }

    void forwardAndBack()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(520, 60);
        scale.forwardPlay();
        QCOMPARE(scale.value(), 100);
        QCOMPARE(scale.playHead().point(0).x(), scale.pixelFor(100));
        scale.backPlay();
        QCOMPARE(scale.value(), 0);
        scale.setValue(140);
        QCOMPARE(scale.value(), 100);
        scale.setValue(-3);
        QCOMPARE(scale.value(), 0);
    }

    void signs_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QList<int>>("kept");
        QTest::addColumn<int>("frameNum");

        QTest::newRow("none") << QList<int>() << QList<int>() << 0;
        QTest::newRow("one") << QList<int>{30} << QList<int>{30} << 0;
        QTest::newRow("unordered") << QList<int>{70, 10, 40} << QList<int>{10, 40, 70} << 60;
        QTest::newRow("duplicates") << QList<int>{10, 50, 10} << QList<int>{10, 50} << 40;
        QTest::newRow("whole scale") << QList<int>{100, 0} << QList<int>{0, 100} << 100;
        QTest::newRow("off the scale dropped") << QList<int>{-5, 20, 130} << QList<int>{20} << 0;
    }

    void signs()
    {
        QFETCH(QList<int>, positions);
        QFETCH(QList<int>, kept);
        QFETCH(int, frameNum);
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(520, 60);
        scale.setSigns({1, 2, 3});
        QSignalSpy spy(&scale, &OvScaleWidget::updateFrameNum);
        scale.setSigns(positions);
        QCOMPARE(scale.signs(), kept);
        QCOMPARE(scale.frameNum(), frameNum);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toInt(), frameNum);
        for (const int p : kept) {
            const int x = scale.pixelFor(p);
            QCOMPARE(scale.signMarker(p), QPolygon({QPoint(x, 36), QPoint(x - 4, 30), QPoint(x - 4, 24),
                                                    QPoint(x + 4, 24), QPoint(x + 4, 30)}));
        }
    }

    void removeSigns_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("all");
        QTest::addColumn<QList<int>>("kept");
        QTest::addColumn<int>("emitted");

        QTest::newRow("at the play-head") << QList<int>{0, 40, 80} << 40 << false << QList<int>{0, 80} << 1;
        QTest::newRow("none at the play-head") << QList<int>{0, 40, 80} << 41 << false << QList<int>{0, 40, 80} << 0;
        QTest::newRow("all keeps 0") << QList<int>{0, 20, 50} << 20 << true << QList<int>{0} << 1;
        QTest::newRow("all without 0") << QList<int>{20, 50} << 0 << true << QList<int>() << 1;
        QTest::newRow("all, only 0 left") << QList<int>{0} << 0 << true << QList<int>{0} << 0;
    }

    void removeSigns()
    {
        QFETCH(QList<int>, positions);
        QFETCH(int, value);
        QFETCH(bool, all);
        QFETCH(QList<int>, kept);
        QFETCH(int, emitted);
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.setSigns(positions);
        scale.setValue(value);
        QSignalSpy spy(&scale, &OvScaleWidget::updateFrameNum);
        all ? scale.removeAllSigns() : scale.removeSign();
        QCOMPARE(scale.signs(), kept);
        QCOMPARE(spy.count(), emitted);
    }

    void mouseSetsThePlayHead()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(520, 60);
        scale.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scale));
        scale.setSigns({10, 35});
        QSignalSpy values(&scale, &OvScaleWidget::valueChanged);
        QSignalSpy frames(&scale, &OvScaleWidget::updateFrameNum);

        // Moving without a press changes nothing (mouse tracking is on).
        QTest::mouseMove(&scale, QPoint(scale.pixelFor(70), 20));
        QCOMPARE(scale.value(), 0);

        QTest::mousePress(&scale, Qt::LeftButton, Qt::NoModifier, QPoint(scale.pixelFor(25), 20));
        QCOMPARE(scale.value(), 25);
        sendMouse(&scale, QEvent::MouseMove, QPoint(scale.pixelFor(60), 20), QPoint(), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(scale.value(), 60);
        QCOMPARE(frames.count(), 1);
        QCOMPARE(frames.last().first().toInt(), 25);
        sendMouse(&scale, QEvent::MouseMove, QPoint(scale.width() + 50, 20), QPoint(), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(scale.value(), 100);
        QTest::mouseRelease(&scale, Qt::LeftButton, Qt::NoModifier, QPoint(scale.width() + 50, 20));
        QCOMPARE(values.last().first().toInt(), 100);
        QCOMPARE(values.count(), 4);  // press, two moves, release
    }

    void paintsPlayHeadAndSigns()
    {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(520, 60);
        scale.setSigns({20, 80});
        scale.setValue(50);
        const QImage image = scale.grab().toImage();
        QCOMPARE(image.pixelColor(scale.pixelFor(50), 24), QColor(255, 109, 11));
        QCOMPARE(image.pixelColor(scale.pixelFor(20), 28), QColor(165, 165, 165));
        QCOMPARE(image.pixelColor(scale.pixelFor(35), 36), QColor(213, 48, 48));
    }

    // ---- track panel ----
    void panelButtons_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("playing");

        QTest::newRow("play") << "" << "normalPlay" << 0 << 30 << true;
        QTest::newRow("loop") << "" << "loopPlay" << 1 << 30 << true;
        QTest::newRow("stop") << "loopPlay" << "stopPlay" << 2 << 30 << false;
        QTest::newRow("forward") << "" << "forwardPlay" << 2 << 100 << false;
        QTest::newRow("back") << "forwardPlay" << "backPlay" << 2 << 0 << false;
    }

    void panelButtons()
    {
        QFETCH(QString, first);
        QFETCH(QString, button);
        QFETCH(int, mode);
        QFETCH(int, value);
        QFETCH(bool, playing);
        OvTrackSettingWidget panel;
        panel.resize(700, 100);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        OvScaleWidget* scale = panel.scaleWidget();
        scale->setValue(30);
        QSignalSpy moved(&panel, &OvTrackSettingWidget::updateSignProperty);
        for (const QString& name : {first, button}) {
            if (name.isEmpty())
                continue;
            auto* b = panel.findChild<OvButton*>(QStringLiteral("OvTrackSettingWidget_") + name);
            QVERIFY(b != nullptr);
            QTest::mouseClick(b, Qt::LeftButton);
        }
        QCOMPARE(scale->playMode(), mode);
        QCOMPARE(scale->value(), value);
        QCOMPARE(scale->isPlaying(), playing);
        scale->stopPlay();
        if (value != 30)
            QCOMPARE(moved.last().first().toInt(), value);
    }

    void panelSigns()
    {
        OvTrackSettingWidget panel;
        panel.resize(700, 100);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        OvScaleWidget* scale = panel.scaleWidget();
        auto button = [&panel](const char* name) {
            return panel.findChild<OvButton*>(QStringLiteral("OvTrackSettingWidget_") + QLatin1String(name));
        };
        auto* frameLabel = panel.findChild<OvLabel*>(QStringLiteral("OvTrackSettingWidget_m_frameLabel"));
        QVERIFY(frameLabel != nullptr);
        QCOMPARE(frameLabel->text(), QStringLiteral("0"));

        // The owner answers the add request with the new list.
        QSignalSpy addRequests(&panel, &OvTrackSettingWidget::signalAddSign);
        connect(&panel, &OvTrackSettingWidget::signalAddSign, &panel, [&panel]() {
            QList<int> signs = panel.scaleWidget()->signs();
            signs.append(panel.addSign());
            panel.updateData(signs);
        });
        for (const int at : {0, 15, 60}) {
            scale->setValue(at);
            QTest::mouseClick(button("m_addSign"), Qt::LeftButton);
        }
        QCOMPARE(addRequests.count(), 3);
        QCOMPARE(scale->signs(), (QList<int>{0, 15, 60}));
        QCOMPARE(frameLabel->text(), QStringLiteral("60"));

        scale->setValue(0);
        QTest::mouseClick(button("m_removeSign"), Qt::LeftButton);  // never at 0
        QCOMPARE(scale->signs(), (QList<int>{0, 15, 60}));
        scale->setValue(60);
        QTest::mouseClick(button("m_removeSign"), Qt::LeftButton);
        QCOMPARE(scale->signs(), (QList<int>{0, 15}));
        QCOMPARE(frameLabel->text(), QStringLiteral("15"));
        QTest::mouseClick(button("m_removeAllSign"), Qt::LeftButton);
        QCOMPARE(scale->signs(), QList<int>{0});
        QCOMPARE(frameLabel->text(), QStringLiteral("0"));

        panel.setEnableTrace(false);
        for (const char* name : {"m_addSign", "m_removeSign", "m_removeAllSign"})
            QVERIFY(!button(name)->isEnabled());
        QVERIFY(button("normalPlay")->isEnabled());
        QTest::mouseClick(button("m_addSign"), Qt::LeftButton);
        QCOMPARE(addRequests.count(), 3);
        panel.setEnableTrace(true);
        QVERIFY(button("m_addSign")->isEnabled());
    }

    void panelLayout()
    {
        OvTrackSettingWidget panel(QwtScaleDraw::BottomScale);
        QCOMPARE(panel.objectName(), QStringLiteral("OvTrackSettingWidget"));
        QCOMPARE(panel.scaleWidget()->alignment(), QwtScaleDraw::TopScale);
        QCOMPARE(panel.scaleWidget()->parentWidget(), &panel);
        const QList<OvButton*> buttons = panel.findChildren<OvButton*>();
        QCOMPARE(buttons.size(), 8);
        for (OvButton* b : buttons) {
            QVERIFY2(b->objectName().startsWith(QLatin1String("OvTrackSettingWidget_")), qPrintable(b->objectName()));
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
        }
        auto* frames = panel.findChild<OvLabel*>(QStringLiteral("OvTrackSettingWidget_frameNumLable"));
        QVERIFY(frames != nullptr);
        QCOMPARE(frames->text(), QStringLiteral("帧数:"));
        auto* number = panel.findChild<OvLabel*>(QStringLiteral("OvTrackSettingWidget_m_frameLabel"));
        QCOMPARE(number->property("type").toString(), QStringLiteral("frameLabel"));
        QVERIFY(panel.findChild<OvLabel*>(QStringLiteral("OvTrackSettingWidget_upWidget")) != nullptr);
        QVERIFY(panel.findChild<OvLabel*>(QStringLiteral("OvTrackSettingWidget_frameNumWidget")) != nullptr);
    }
};

QTEST_MAIN(TstTrackWidgets)
#include "tst_trackwidgets.moc"
