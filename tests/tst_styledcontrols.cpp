// Styling hooks and behaviours of the widget kit's controls.
#include "OvTestSupport.h"

#include <OvUIUtility/MenuButton.h>
#include <OvUIUtility/NoFocusFrameDelegate.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvComboBox.h>
#include <OvUIUtility/OvComboBoxListView.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvLineEdit.h>
#include <OvUIUtility/OvScrollArea.h>
#include <OvUIUtility/OvToolButton.h>
#include <OvUIUtility/OvWhiteToolButton.h>
#include <OvUIUtility/OvYellowButton.h>

#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TstStyledControls : public QObject
{
    Q_OBJECT

private:
    static QColor centreColour(QWidget* w)
    {
        const QImage img = w->grab().toImage();
        return img.pixelColor(img.width() / 2, img.height() / 2);
    }

    static void sendMouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent ev(type, QPointF(x, 5), w->mapToGlobal(QPoint(x, 5)), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &ev);
    }

    // Pure-white pixels in the right quarter, where the arrow of a tool button goes.
    static int whiteInRightQuarter(QWidget* w)
    {
        const QImage img = w->grab().toImage();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = img.width() * 3 / 4; x < img.width(); ++x)
                n += img.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
        return n;
    }

private slots:
    void defaultObjectNames()
    {
        QCOMPARE(OvButton().objectName(), QStringLiteral("OvButton"));
        QCOMPARE(OvButton(QStringLiteral("X_m_y"), nullptr).objectName(), QStringLiteral("X_m_y"));
        OvGrayButton gray;
        QCOMPARE(static_cast<QObject&>(gray).objectName(), QStringLiteral("OvGrayButton"));
        OvYellowButton yellow;
        QCOMPARE(static_cast<QObject&>(yellow).objectName(), QStringLiteral("OvYellowButton"));
        QCOMPARE(OvToolButton().objectName(), QStringLiteral("OvToolButton"));
        QCOMPARE(OvWhiteToolButton().objectName(), QStringLiteral("OvWhiteToolButton"));
        QCOMPARE(OvLabel().objectName(), QStringLiteral("OvLabel"));
        QCOMPARE(OvLineEdit().objectName(), QStringLiteral("OvLineEdit"));
        QCOMPARE(OvComboBox().objectName(), QStringLiteral("OvComboBox"));
        QCOMPARE(OvComboBoxListView().objectName(), QStringLiteral("OvComboBox"));
        OvScrollArea area;
        QCOMPARE(area.objectName(), QStringLiteral("OvScrollArea"));
        area.setObjectName(QStringLiteral("other"));
        area.resetDefaultObjectName();
        QCOMPARE(area.objectName(), QStringLiteral("OvScrollArea"));
        QVERIFY(OvButton().isFlat());
    }

    void typeProperty()
    {
        OvGrayButton plain(nullptr, QString());
        QVERIFY(!plain.property("type").isValid());
        OvGrayButton typed(nullptr, QStringLiteral("big"));
        QCOMPARE(typed.property("type").toString(), QStringLiteral("big"));

        MenuButton unnamed(QString(), nullptr);
        QVERIFY(static_cast<QObject&>(unnamed).objectName().isEmpty());
        QVERIFY(!unnamed.property("type").isValid());
        unnamed.resetDefaultObjectName();
        QCOMPARE(static_cast<QObject&>(unnamed).objectName(), QStringLiteral("MenuButton"));
        MenuButton named(QStringLiteral("OvTitlebar_m_helper"), nullptr);
        QCOMPARE(static_cast<QObject&>(named).objectName(), QStringLiteral("OvTitlebar_m_helper"));
        QCOMPARE(named.property("type").toString(), QStringLiteral("OvTitlebar_m_helper"));
    }

    void setTypeRepolishesAtOnce()
    {
        QWidget host;
        host.setStyleSheet(QStringLiteral("#OvGrayButton { background-color: rgb(0, 0, 255); border: none; }"
                                          "#OvGrayButton[type=\"red\"] { background-color: rgb(255, 0, 0); }"));
        auto* button = new OvGrayButton(&host);
        button->setGeometry(0, 0, 60, 30);
        host.resize(60, 30);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(centreColour(button), QColor(0, 0, 255));

        button->setProperty("type", QStringLiteral("red"));  // by hand: no re-polish
        QCOMPARE(centreColour(button), QColor(0, 0, 255));
        button->setType(QStringLiteral("red"));
        QCOMPARE(centreColour(button), QColor(255, 0, 0));

        auto* label = new OvLabel(&host);
        label->setType(OvLabel::BlackLabel);
        QCOMPARE(label->property("color").toString(), QStringLiteral("label_black"));
    }

    void labelClickModes()
    {
        OvLabel label;
        label.resize(50, 20);
        QSignalSpy clicked(&label, &OvLabel::clicked);
        QSignalSpy clickedData(&label, &OvLabel::clickedData);
        QSignalSpy dbClicked(&label, &OvLabel::dbClicked);

        // No connect call yet: presses go to QLabel, nothing is emitted.
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(!label.emitClickedEvent());

        int lambdaCalls = 0;
        label.connectClicked(&label, [&lambdaCalls]() { ++lambdaCalls; });
        QTest::mouseClick(&label, Qt::RightButton);
        QCOMPARE(clicked.count(), 0);  // only the left button clicks
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(lambdaCalls, 1);

        // A double click: the pair's first press clicks, then the double click.
        QList<QString> order;
        connect(&label, &OvLabel::clicked, this, [&order]() { order << QStringLiteral("clicked"); });
        connect(&label, &OvLabel::dbClicked, this, [&order]() { order << QStringLiteral("db"); });
        sendMouse(&label, QEvent::MouseButtonPress, 5, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&label, QEvent::MouseButtonRelease, 5, Qt::LeftButton, Qt::NoButton);
        sendMouse(&label, QEvent::MouseButtonDblClick, 5, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&label, QEvent::MouseButtonRelease, 5, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(order, (QList<QString>{QStringLiteral("clicked"), QStringLiteral("db")}));
        QCOMPARE(dbClicked.count(), 1);

        // The last connect call decides: data mode now, with invalid data.
        label.connectClickedData(this, SLOT(deleteLater()));
        label.disconnect(this);  // keep the test object alive; the mode stays
        const int plainClicks = clicked.count();
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clicked.count(), plainClicks);
        QCOMPARE(clickedData.count(), 1);
        QVERIFY(!clickedData.at(0).at(0).value<QVariant>().isValid());
        label.setData(42);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(clickedData.at(1).at(0).value<QVariant>().toInt(), 42);

        label.disableClick();
        QTest::mouseClick(&label, Qt::LeftButton);
        QTest::mouseDClick(&label, Qt::LeftButton);
        QCOMPARE(clickedData.count(), 2);
        QVERIFY(!label.emitDbClickedEvent());
    }

    void lineEditDragAdjusts_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("result");
        QTest::newRow("number") << QStringLiteral("1.00") << QStringLiteral("3.50");
        QTest::newRow("not a number") << QStringLiteral("abc") << QStringLiteral("2.50");
    }

    void lineEditDragAdjusts()
    {
        QFETCH(QString, start);
        QFETCH(QString, result);
        OvLineEdit edit;
        edit.resize(100, 20);
        edit.setText(start);
        sendMouse(&edit, QEvent::MouseButtonPress, 10, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&edit, QEvent::MouseMove, 20, Qt::NoButton, Qt::LeftButton);
        sendMouse(&edit, QEvent::MouseMove, 35, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(edit.text(), result);

        // After the release, moves no longer adjust.
        QSignalSpy clicked(&edit, &OvLineEdit::clicked);
        sendMouse(&edit, QEvent::MouseButtonRelease, 35, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.count(), 0);
        sendMouse(&edit, QEvent::MouseMove, 80, Qt::NoButton, Qt::NoButton);
        QCOMPARE(edit.text(), result);

        edit.setHasStrongFocus(true);
        sendMouse(&edit, QEvent::MouseButtonPress, 35, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&edit, QEvent::MouseButtonRelease, 35, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.count(), 1);
    }

    void comboBoxesUseTheirViews()
    {
        OvComboBox combo;
        combo.addItem(QStringLiteral("a"));
        combo.addItem(QStringLiteral("b"));
        QCOMPARE(combo.listWidget()->count(), 2);
        QCOMPARE(combo.view(), combo.listWidget());
        QVERIFY(qobject_cast<NoFocusFrameDelegate*>(combo.listWidget()->itemDelegate()));

        OvComboBoxListView listCombo;
        listCombo.addItem(QStringLiteral("x"));
        QCOMPARE(listCombo.view(), listCombo.listView());
        QCOMPARE(listCombo.listView()->model()->rowCount(), 1);
        QVERIFY(qobject_cast<NoFocusFrameDelegate*>(listCombo.listView()->itemDelegate()));
    }

    void comboBoxNoFocus()
    {
        QWidget host;
        auto* combo = new OvComboBox(&host);
        auto* other = new OvLineEdit(&host);
        other->move(0, 40);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QApplication::setActiveWindow(&host);
        combo->setFocus();
        QVERIFY(combo->hasFocus());
        other->setFocus();
        combo->setNoFocus(true);
        combo->setFocus();
        QVERIFY(!combo->hasFocus());
    }

    void menuOpensBelowButton()
    {
        QWidget host;
        auto* button = new MenuButton(QStringLiteral("m"), &host);
        button->setGeometry(30, 20, 80, 24);
        button->getMenu()->addAction(QStringLiteral("关于"));
        host.resize(300, 200);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QPoint menuPos;
        QTimer::singleShot(0, button, [&]() {
            (void)QTest::qWaitFor([&]() { return button->getMenu()->isVisible(); }, 3000);
            menuPos = button->getMenu()->pos();
            button->getMenu()->close();
        });
        button->click();  // runs the menu modally until the timer closes it
        QCOMPARE(menuPos, button->mapToGlobal(QPoint(0, 24)));
    }

    void toolButtonArrow()
    {
        OvToolButton withArrow;
        withArrow.resize(120, 32);
        OvToolButton noArrow;
        noArrow.resize(120, 32);
        noArrow.setDisabledDownArrow();
        QVERIFY(noArrow.disabledDownArrow());
        QVERIFY(whiteInRightQuarter(&withArrow) > 10);
        QCOMPARE(whiteInRightQuarter(&noArrow), 0);

        // The painted text is separate from the button's own text and stays
        // out of the arrow's quarter even when the arrow is off.
        noArrow.setText(QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWW"));
        QCOMPARE(noArrow.QToolButton::text(), QString());
        QCOMPARE(noArrow.paintedText(), QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWW"));
        QCOMPARE(whiteInRightQuarter(&noArrow), 0);
    }

    void scrollAreaSettings()
    {
        OvScrollArea area(QStringLiteral("named"), nullptr);
        QCOMPARE(area.objectName(), QStringLiteral("named"));
        QCOMPARE(area.frameShape(), QFrame::NoFrame);
        QCOMPARE(area.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(area.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(area.widgetResizable());
    }
};

QTEST_MAIN(TstStyledControls)
#include "tst_styledcontrols.moc"
