// Line wrapping, item ownership and spacing of FlowLayout.
#include <OvUIUtility/FlowLayout.h>
#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QLabel>
#include <QPointer>
#include <QSpacerItem>
#include <QStyle>
#include <QTest>
#include <QWidget>

class TstFlowLayout : public QObject
{
    Q_OBJECT

private:
    static QSpacerItem* box(int w, int h = 30) { return new QSpacerItem(w, h, QSizePolicy::Fixed, QSizePolicy::Fixed); }

private slots:
    void wrapBoundary_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QPoint>("third");
        // 320 wide: effective right() is 314, the third item would end on it and wraps.
        QTest::newRow("320 wraps") << 320 << QPoint(5, 40);
        QTest::newRow("321 stays") << 321 << QPoint(215, 5);
    }

    void wrapBoundary()
    {
        QFETCH(int, width);
        QFETCH(QPoint, third);
        FlowLayout layout(5, 5, 5);
        for (int i = 0; i < 3; ++i)
            layout.addItem(box(100));
        layout.setGeometry(QRect(0, 0, width, 200));
        QCOMPARE(layout.itemAt(0)->geometry(), QRect(5, 5, 100, 30));
        QCOMPARE(layout.itemAt(1)->geometry(), QRect(110, 5, 100, 30));
        QCOMPARE(layout.itemAt(2)->geometry().topLeft(), third);
        QCOMPARE(layout.heightForWidth(width), third.y() + 30 + 5);
    }

    void offsetRectangle()
    {
        // Heights are measured from the rectangle's own top, wrapping against its own right.
        FlowLayout layout(5, 5, 5);
        for (int i = 0; i < 3; ++i)
            layout.addItem(box(100));
        layout.setGeometry(QRect(50, 100, 320, 200));
        QCOMPARE(layout.itemAt(2)->geometry().topLeft(), QPoint(55, 140));
    }

    void emptyLayout()
    {
        FlowLayout layout(5, 5, 5);
        QCOMPARE(layout.heightForWidth(0), 10);
        QCOMPARE(layout.heightForWidth(777), 10);
        QCOMPARE(layout.minimumSize(), QSize(9, 9));
        QCOMPARE(layout.sizeHint(), QSize(9, 9));
        QVERIFY(layout.hasHeightForWidth());
        QCOMPARE(layout.expandingDirections(), Qt::Orientations());
    }

    void minimumSizeTakesLargestOfEach()
    {
        FlowLayout layout(5, 5, 5);
        layout.addItem(box(100, 10));
        layout.addItem(box(40, 70));
        QCOMPARE(layout.minimumSize(), QSize(110, 80));
    }

    void minimumHoldsItemWithAppliedMargins()
    {
        // Style margins (margin -1) and margins set side by side: a layout given
        // exactly its minimum size still places its widest item inside it.
        QWidget styled;
        auto* byStyle = new FlowLayout(&styled);
        QWidget uneven;
        auto* bySide = new FlowLayout(&uneven, 0, 5, 5);
        bySide->setContentsMargins(2, 3, 20, 30);
        for (FlowLayout* layout : {byStyle, bySide}) {
            layout->addItem(box(100, 30));
            const QRect area(QPoint(0, 0), layout->minimumSize());
            layout->setGeometry(area);
            QVERIFY(area.contains(layout->itemAt(0)->geometry()));
            QCOMPARE(layout->heightForWidth(area.width()), area.height());
        }
    }

    void wideItemStandsAlone()
    {
        FlowLayout layout(5, 5, 5);
        layout.addItem(box(500));
        layout.addItem(box(100));
        layout.setGeometry(QRect(0, 0, 320, 200));
        QCOMPARE(layout.itemAt(0)->geometry(), QRect(5, 5, 500, 30));
        QCOMPARE(layout.itemAt(1)->geometry().topLeft(), QPoint(5, 40));
    }

    void indexing()
    {
        FlowLayout layout(5, 5, 5);
        QSpacerItem* a = box(1);
        QSpacerItem* b = box(2);
        QSpacerItem* c = box(3);
        layout.addItem(a);
        layout.addItem(b);
        layout.addItem(c);
        QCOMPARE(layout.itemAt(layout.count()), nullptr);
        QCOMPARE(layout.itemAt(-1), nullptr);
        QCOMPARE(layout.takeAt(-1), nullptr);
        QCOMPARE(layout.takeAt(3), nullptr);
        QCOMPARE(layout.count(), 3);

        QSpacerItem* last = box(4);
        layout.insertItem(1000, last);
        QCOMPARE(layout.count(), 4);
        QCOMPARE(layout.itemAt(3), last);
        QSpacerItem* first = box(5);
        layout.insertItem(-7, first);
        QCOMPARE(layout.itemAt(0), first);
        QSpacerItem* middle = box(6);
        layout.insertItem(2, middle);
        QCOMPARE(layout.itemAt(2), middle);
        QCOMPARE(layout.itemAt(3), b);

        QLayoutItem* taken = layout.takeAt(1);
        QCOMPARE(taken, a);
        delete taken;
        QCOMPARE(layout.count(), 5);
    }

    void clearDeletesWidgetsDestructorDoesNot()
    {
        QWidget host;
        QPointer<QLabel> kept;
        {
            auto* layout = new FlowLayout(&host, 5, 5, 5);
            kept = new QLabel(QStringLiteral("kept"));
            layout->insert(0, kept);
            QCOMPARE(kept->parentWidget(), &host);
            delete layout;
        }
        QVERIFY(kept);

        auto* layout = new FlowLayout(&host, 5, 5, 5);
        QPointer<QLabel> a = new QLabel(QStringLiteral("a"));
        QPointer<QLabel> b = new QLabel(QStringLiteral("b"));
        layout->insert(0, a);
        layout->push_front(b);
        QCOMPARE(layout->itemAt(0)->widget(), b.data());
        layout->clear();
        QCOMPARE(layout->count(), 0);
        QVERIFY(!a);
        QVERIFY(!b);
        QVERIFY(kept);
    }

    void hiddenWidgetsKeepTheirPlace()
    {
        QWidget host;
        auto* layout = new FlowLayout(&host, 5, 5, 5);
        auto* a = new QLabel(QStringLiteral("a"));
        auto* b = new QLabel(QStringLiteral("b"));
        a->setFixedSize(100, 30);
        b->setFixedSize(100, 30);
        layout->addWidget(a);
        layout->addWidget(b);
        a->hide();
        layout->setGeometry(QRect(0, 0, 400, 100));
        // The hidden widget keeps its slot (a zero-size item plus its gap).
        QCOMPARE(layout->itemAt(0)->widget(), a);
        QCOMPARE(b->geometry().topLeft(), QPoint(10, 5));
    }

    void spacingFallback()
    {
        QWidget host;
        auto* layout = new FlowLayout(&host, 5, 7, 9);
        QCOMPARE(layout->horizontalSpacing(), 7);
        QCOMPARE(layout->verticalSpacing(), 9);
        layout->setHorizontalSpacing(-1);
        QCOMPARE(layout->horizontalSpacing(),
                 host.style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, &host));

        // Without a parent nothing gives a spacing: -1, and the gap then comes
        // from the item widgets' style (or 0 for an item without a widget).
        FlowLayout orphan(0, -1, -1);
        QCOMPARE(orphan.horizontalSpacing(), -1);
        QCOMPARE(orphan.verticalSpacing(), -1);
        orphan.addItem(box(10));
        orphan.addItem(box(10));
        orphan.setGeometry(QRect(0, 0, 100, 100));
        QCOMPARE(orphan.itemAt(1)->geometry().x(), 10);

        QWidget holder;
        auto* w1 = new QLabel(&holder);
        auto* w2 = new QLabel(&holder);
        w1->setFixedSize(10, 10);
        w2->setFixedSize(10, 10);
        FlowLayout widgets(0, -1, -1);
        widgets.addItem(new QWidgetItem(w1));
        widgets.addItem(new QWidgetItem(w2));
        widgets.setGeometry(QRect(0, 0, 100, 100));
        const int gap = w1->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton, Qt::Horizontal);
        QCOMPARE(w2->geometry().x(), 10 + gap);
    }

    void spacingFreeBoxes()
    {
        QWidget host;
        auto* h = new HNsNmLayout(&host);
        QCOMPARE(h->spacing(), 0);
        QCOMPARE(h->contentsMargins(), QMargins(0, 0, 0, 0));
        VNsNmLayout v(nullptr);
        QCOMPARE(v.spacing(), 0);
        QCOMPARE(v.contentsMargins(), QMargins(0, 0, 0, 0));
    }

    // Sizes are cached between layout passes; every change must drop them.
    void cachedSizesFollowChanges()
    {
        FlowLayout layout(5, 5, 5);
        layout.addItem(box(100));
        layout.addItem(box(100));
        QCOMPARE(layout.heightForWidth(216), 5 + 30 + 5);  // 100 + 5 + 100 fits in 206
        layout.setHorizontalSpacing(20);
        QCOMPARE(layout.heightForWidth(216), 5 + 30 + 5 + 30 + 5);
        layout.addItem(box(300, 50));
        QCOMPARE(layout.minimumSize(), QSize(310, 60));
        QCOMPARE(layout.heightForWidth(216), 5 + 30 + 5 + 30 + 5 + 50 + 5);
        delete layout.takeAt(2);
        QCOMPARE(layout.minimumSize(), QSize(110, 40));
        layout.insertItem(0, box(50, 80));
        QCOMPARE(layout.heightForWidth(1000), 5 + 80 + 5);
    }
};

QTEST_MAIN(TstFlowLayout)
#include "tst_flowlayout.moc"
