// The CG list model and its items: the signal sequences listeners depend on,
// ownership of items, moves, lookups and the publish commands.

#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/operatorInfo.h"
#include "log/OvCGMessage.h"
#include "net/OvCgNotification.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"
#include "shortcut/OvShortcutKey.h"

#include <QBuffer>
#include <QImage>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

namespace {

operatorInfo someOperator(const QString& id = QStringLiteral("op-1"))
{
    return {id, QStringLiteral("10.0.0.5:5000"), QStringLiteral("Zhang"), QStringLiteral("login-zhang")};
}

QString pngBase64(int w, int h, QRgb colour, const char* format = "PNG")
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QString::fromLatin1(bytes.toBase64());
}

// Records every model signal, in order, as compact text.
class Recorder
{
public:
    explicit Recorder(OvCGListModel* model)
    {
        const auto tag = [](OvSubCGItem* item) { return item ? item->name() : QStringLiteral("null"); };
        m_conns << QObject::connect(model, &OvCGListModel::SingalCGInserted,
                                    [=](int i, OvSubCGItem* it, operatorInfo info) {
                                        m_log << QStringLiteral("ins %1 %2 %3").arg(i).arg(tag(it), info.operationID);
                                    });
        m_conns << QObject::connect(model, &OvCGListModel::SingalCGRemoved,
                                    [=](int i, OvSubCGItem* it, operatorInfo info) {
                                        m_log << QStringLiteral("rem %1 %2 %3").arg(i).arg(tag(it), info.operationID);
                                    });
        m_conns << QObject::connect(model, &OvCGListModel::SingalCGUpdate,
                                    [=](int i, int type, OvSubCGItem* it, operatorInfo info) {
                                        m_log << QStringLiteral("upd %1 %2 %3 %4")
                                                     .arg(i)
                                                     .arg(type)
                                                     .arg(tag(it), info.operationID);
                                        m_infos << info;
                                    });
        m_conns << QObject::connect(model, &OvCGListModel::SignalCgMoved,
                                    [=](OvSubCGItem* it, int from, int to, operatorInfo info) {
                                        m_log << QStringLiteral("mov %1 %2 %3 %4")
                                                     .arg(tag(it))
                                                     .arg(from)
                                                     .arg(to)
                                                     .arg(info.operationID);
                                    });
        m_conns << QObject::connect(model, &OvCGListModel::SignalCurrentCGChanged,
                                    [=](OvSubCGItem* it) { m_log << QStringLiteral("cur %1").arg(tag(it)); });
    }
    ~Recorder()
    {
        for (const auto& c : m_conns)
            QObject::disconnect(c);
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    QStringList take() { return std::exchange(m_log, {}); }
    QList<operatorInfo> infos() const { return m_infos; }

private:
    QList<QMetaObject::Connection> m_conns;
    QStringList m_log;
    QList<operatorInfo> m_infos;
};

}  // namespace

class TestCgModel : public QObject
{
    Q_OBJECT

private:
    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    OvCGListModel* model() const { return OvCGListModel::instance(); }
    QStringList names() const
    {
        QStringList out;
        for (OvSubCGItem* item : model()->cgList())
            out << item->name();
        return out;
    }
    void load(const QStringList& itemNames)
    {
        QList<cgItemData> list;
        for (const QString& n : itemNames)
            list << OvTest::cgRecord(n);
        model()->resetCgList(list);
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<operatorInfo>();
        qRegisterMetaType<OvSubCGItem*>();
        QCOMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
    }

    void init()
    {
        model()->clearCg();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void identities()
    {
        const QString guid = instanceGuid();
        QCOMPARE(guid.size(), 38);
        QVERIFY(guid.startsWith('{') && guid.endsWith('}'));
        QCOMPARE(guid, guid.toLower());
        QCOMPARE(instanceGuid(), guid);

        const operatorInfo& local = localOperatorInfo();
        QCOMPARE(local.operationID, QStringLiteral("localID"));
        QCOMPARE(local.operatorAddr, QStringLiteral("0.0.0.0:0"));
        QCOMPARE(local.operatorName, guid);
        QVERIFY(local.operatorGuid.isEmpty());
    }

    void resetReplacesListInOrder()
    {
        load({"A", "B"});
        OvSubCGItem* a = model()->cgAt(0);
        QPointer<OvSubCGItem> guardA = a;
        QPointer<OvSubCGItem> guardB = model()->cgAt(1);
        QCOMPARE(model()->currentCg(), a);
        QVERIFY(a->isChecked());

        // A hears its own unchecking even though the model no longer relays it.
        QSignalSpy aUpdates(a, &OvSubCGItem::updateData);
        Recorder rec(model());
        load({"X", "Y"});
        QCOMPARE(rec.take(), (QStringList{"cur null", "rem 0 A localID", "rem 0 B localID",
                                          "upd 0 50 X localID", "cur X", "ins 0 X localID",
                                          "ins 1 Y localID"}));
        QCOMPARE(aUpdates.count(), 1);
        QCOMPARE(aUpdates.at(0).at(0).toInt(), 50);
        QVERIFY(!a->isChecked());

        // Removed items stay valid until the event loop deletes them.
        QVERIFY(guardA && guardB);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guardA && !guardB);
        QCOMPARE(names(), (QStringList{"X", "Y"}));
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("X"));
    }

    void resetWithEmptyList()
    {
        Recorder rec(model());
        model()->resetCgList({});
        QVERIFY(rec.take().isEmpty());

        load({"A", "B", "C"});
        rec.take();
        model()->resetCgList({});
        QCOMPARE(rec.take(), (QStringList{"cur null", "rem 0 A localID", "rem 0 B localID", "rem 0 C localID"}));
        QCOMPARE(model()->count(), 0);
        QCOMPARE(model()->currentCg(), nullptr);
    }

    void insertAppendsAndFillsEmptyCurrent()
    {
        Recorder rec(model());
        auto* first = new OvSubCGItem(OvTest::cgRecord("N1"));
        model()->insertCg(first, someOperator());
        // Current before the insertion is announced.
        QCOMPARE(rec.take(), (QStringList{"upd 0 50 N1 localID", "cur N1", "ins 0 N1 op-1"}));

        model()->insertCg(new OvSubCGItem(OvTest::cgRecord("N2")), someOperator("op-2"));
        QCOMPARE(rec.take(), (QStringList{"ins 1 N2 op-2"}));
        QCOMPARE(model()->currentCg(), first);

        // Null and already listed items change nothing.
        model()->insertCg(nullptr, someOperator());
        model()->insertCg(first, someOperator());
        QVERIFY(rec.take().isEmpty());
        QCOMPARE(names(), (QStringList{"N1", "N2"}));
    }

    void removeItems()
    {
        load({"A", "B", "C"});
        OvSubCGItem* a = model()->cgAt(0);
        OvSubCGItem* b = model()->cgAt(1);
        Recorder rec(model());

        model()->removeCg(b, someOperator());
        QCOMPARE(rec.take(), (QStringList{"rem 1 B op-1"}));
        QCOMPARE(model()->currentCg(), a);

        // After removal the item is disconnected from the model but still usable.
        b->setStatus(2, someOperator());
        QVERIFY(rec.take().isEmpty());
        // Removing it again (or null) neither signals nor double-deletes.
        model()->removeCg(b, someOperator());
        model()->removeCg(nullptr, someOperator());
        QVERIFY(rec.take().isEmpty());

        model()->removeCg(a, someOperator("op-9"));
        QCOMPARE(rec.take(), (QStringList{"cur null", "rem 0 A op-9"}));
        QCOMPARE(model()->currentCg(), nullptr);
        QCOMPARE(names(), (QStringList{"C"}));

        // No other item became current; the next inserted one does.
        model()->insertCg(new OvSubCGItem(OvTest::cgRecord("D")), someOperator());
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("D"));

        // A removed item cannot become current.
        model()->setCurrentCg(b);
        QCOMPARE(model()->currentCg()->name(), QStringLiteral("D"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void selectionSequence()
    {
        load({"A", "B", "C"});
        Recorder rec(model());
        model()->setCurrentCg(model()->cgAt(2));
        QCOMPARE(rec.take(), (QStringList{"upd 0 50 A localID", "upd 2 50 C localID", "cur C"}));
        model()->setCurrentCg(model()->cgAt(2));
        QVERIFY(rec.take().isEmpty());
        model()->setCurrentCg(nullptr);
        QCOMPARE(rec.take(), (QStringList{"upd 2 50 C localID", "cur null"}));
        model()->setCurrentCg(nullptr);
        QVERIFY(rec.take().isEmpty());
    }

    void findByGuidText()
    {
        cgItemData dup = OvTest::cgRecord("first");
        cgItemData dup2 = dup;
        dup2.name = "second";
        model()->resetCgList({OvTest::cgRecord("other"), dup, dup2});

        const QString braced = dup.guid.toString();
        QCOMPARE(model()->findCg(braced)->name(), QStringLiteral("first"));
        QCOMPARE(model()->findCg(braced.toUpper()), nullptr);
        QCOMPARE(model()->findCg(dup.guid.toString(QUuid::WithoutBraces)), nullptr);
        QCOMPARE(model()->findCg(QString()), nullptr);

        // A guid that arrived in upper case is reported in the braced lower-case form.
        cgItemData upper;
        upper.guid = QUuid(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
        OvSubCGItem item(upper);
        QCOMPARE(item.guid(), QStringLiteral("{6f9619ff-8b86-d011-b42d-00c04fc964ff}"));

        QCOMPARE(model()->indexOfCg(model()->findCg(braced)), 1);
        QCOMPARE(model()->indexOfCg(&item), -1);
        QCOMPARE(model()->indexOfCg(nullptr), -1);
    }

    void itemChangesAreRelayed()
    {
        load({"A", "B"});
        OvSubCGItem* b = model()->cgAt(1);
        Recorder rec(model());

        b->setStatus(0, someOperator());  // unchanged, still reported
        b->setStatus(1, someOperator());
        QCOMPARE(rec.take(), (QStringList{"upd 1 1 B op-1", "upd 1 1 B op-1"}));
        QCOMPARE(b->status(), 1);

        b->setName("B", someOperator());
        QVERIFY(rec.take().isEmpty());
        QVERIFY(b->oldName().isEmpty());
        b->setName("B2", someOperator());
        b->setName("B3", someOperator());
        QCOMPARE(rec.take(), (QStringList{"upd 1 2 B2 op-1", "upd 1 2 B3 op-1"}));
        QCOMPARE(b->oldName(), QStringLiteral("B2"));
        QCOMPARE(b->name(), QStringLiteral("B3"));
    }

    void thumbnails()
    {
        load({"A"});
        OvSubCGItem* a = model()->cgAt(0);
        Recorder rec(model());

        a->setImageBase64(pngBase64(160, 90, qRgb(200, 10, 10)), someOperator());
        QCOMPARE(a->image().size(), QSize(160, 90));
        QCOMPARE(a->image().toImage().pixel(5, 5), qRgb(200, 10, 10));

        // Not base64 PNG: the picture goes null, the change is still reported.
        a->setImageBase64(QStringLiteral("@@not base64@@"), someOperator());
        QVERIFY(a->image().isNull());
        a->setImageBase64(pngBase64(160, 90, qRgb(1, 2, 3)), someOperator());
        a->setImageBase64(pngBase64(16, 9, qRgb(1, 2, 3), "BMP"), someOperator());
        QVERIFY(a->image().isNull());
        a->setImageBase64(QString(), someOperator());
        QVERIFY(a->image().isNull());
        // Truncated PNG data.
        a->setImageBase64(pngBase64(160, 90, qRgb(9, 9, 9)).left(40), someOperator());
        QVERIFY(a->image().isNull());
        QCOMPARE(rec.take().size(), 6);

        QVERIFY(cgItemData::imageFromBase64(pngBase64(4, 4, qRgb(0, 0, 0))).size() == QSize(4, 4));

        // 80 bytes of PNG that declare 30000 x 30000 pixels (3.6 GB decoded)
        // are refused before decoding.
        const QString huge = QStringLiteral("iVBORw0KGgoAAAANSUhEUgAAdTAAAHUwCAYAAABmJ/i6AAAADElEQVR4nGNgoAwAAABAAAG3NHzvAAAAAElFTkSuQmCC");
        QVERIFY(cgItemData::imageFromBase64(huge).isNull());
    }

    void moves_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("reported");
        QTest::newRow("forward") << 0 << 2 << QStringList{"B", "C", "A", "D"} << 2;
        QTest::newRow("backward") << 3 << 1 << QStringList{"A", "D", "B", "C"} << 1;
        QTest::newRow("same place") << 1 << 1 << QStringList{"A", "B", "C", "D"} << 1;
        QTest::newRow("past the end") << 2 << 99 << QStringList{"A", "B", "D", "C"} << 3;
        QTest::newRow("at the end") << 0 << 4 << QStringList{"B", "C", "D", "A"} << 3;
        QTest::newRow("below zero") << 2 << -5 << QStringList{"C", "A", "B", "D"} << 0;
        QTest::newRow("int max") << 1 << 2147483647 << QStringList{"A", "C", "D", "B"} << 3;
    }

    void moves()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, after);
        QFETCH(int, reported);
        load({"A", "B", "C", "D"});
        const QString moved = model()->cgAt(from)->name();
        Recorder rec(model());
        model()->moveCg(from, to, someOperator());
        // The position the item really went to, a row that exists.
        QCOMPARE(rec.take(), QStringList{QStringLiteral("mov %1 %2 %3 op-1").arg(moved).arg(from).arg(reported)});
        QCOMPARE(model()->cgAt(reported)->name(), moved);
        QCOMPARE(names(), after);
    }

    void moveFromOutsideIsIgnored()
    {
        load({"A", "B"});
        Recorder rec(model());
        model()->moveCg(-1, 0, someOperator());
        model()->moveCg(2, 0, someOperator());
        QVERIFY(rec.take().isEmpty());
        model()->clearCg();
        model()->moveCg(0, 0, someOperator());
        QVERIFY(rec.take().size() == 3);  // only the clearing
    }

    void publishCommands_data()
    {
        QTest::addColumn<int>("command");  // 0 PGM, 1 PVW, 2 cancel
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sent");
        const char* names[] = {"pgm", "pvw", "cancel"};
        for (int command = 0; command < 3; ++command) {
            for (int status = 0; status <= 3; ++status) {
                const int target = command == 0 ? 1 : command == 1 ? 2 : 0;
                const bool sent = status != target && status != 3;
                QTest::addRow("%s from %d", names[command], status) << command << status << sent;
            }
        }
    }

    void publishCommands()
    {
        QFETCH(int, command);
        QFETCH(int, status);
        QFETCH(bool, sent);
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B", status)});
        OvSubCGItem* b = model()->cgAt(1);
        model()->setCurrentCg(b);
        Recorder rec(model());

        if (command == 0)
            OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        else if (command == 1)
            OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        else
            OvTest::take(m_core.takes(), OvCgStatus::Idle);

        if (!sent) {
            QVERIFY(rec.take().isEmpty());
            QCOMPARE(b->status(), status);
            return;
        }
        const QStringList log = rec.take();
        QCOMPARE(log.size(), 1);
        QVERIFY(log.at(0).startsWith(QStringLiteral("upd 1 1 B {")));
        QCOMPARE(b->status(), 3);
        const operatorInfo info = rec.infos().at(0);
        QCOMPARE(info.operationID.size(), 38);
        QVERIFY(!QUuid(info.operationID).isNull());
        QCOMPARE(info.operatorName, instanceGuid());
        QVERIFY(info.operatorAddr.isEmpty());
        QVERIFY(info.operatorGuid.isEmpty());

        // While sending, every command is refused.
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        OvTest::take(m_core.takes(), OvCgStatus::Idle);
        QVERIFY(rec.take().isEmpty());
        // The server's report ends the sending state.
        b->setStatus(1, someOperator());
        OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        QCOMPARE(b->status(), 3);
    }

    void publishWithoutCurrent()
    {
        Recorder rec(model());
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
        OvTest::take(m_core.takes(), OvCgStatus::Idle);
        QVERIFY(rec.take().isEmpty());
    }

    void singleKeysPublish()
    {
        load({"A"});
        OvSubCGItem* a = model()->currentCg();
        OvShortcutKey& keys = OvShortcutKey::instance();
        QVERIFY(!keys.isEnabled());
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_Z)));
        QCOMPARE(a->status(), 0);

        keys.toggleShortcuts();
        QVERIFY(keys.activate(QKeySequence(Qt::Key_Z)));
        QCOMPARE(a->status(), 3);
        a->setStatus(1, someOperator());
        QVERIFY(keys.activate(QKeySequence(Qt::Key_X)));
        QCOMPARE(a->status(), 3);
        a->setStatus(2, someOperator());
        QVERIFY(keys.activate(QKeySequence(QStringLiteral("C"))));
        QCOMPARE(a->status(), 3);
        keys.toggleShortcuts();
        QVERIFY(!keys.isEnabled());
    }

    // findCg against a walk over the list, after every kind of change.
    void guidIndexFollowsChanges()
    {
        const auto check = [this](const QStringList& guids) {
            for (const QString& guid : guids) {
                OvSubCGItem* first = nullptr;
                for (OvSubCGItem* item : model()->cgList()) {
                    if (item->guid() == guid) {
                        first = item;
                        break;
                    }
                }
                if (model()->findCg(guid) != first)
                    return false;
            }
            return true;
        };
        QList<cgItemData> list;
        for (int i = 0; i < 200; ++i)
            list << OvTest::cgRecord(QString::number(i));
        cgItemData twin = list.at(5);
        twin.name = QStringLiteral("twin");
        list.insert(150, twin);
        list << cgItemData();  // null guid
        QStringList guids;
        for (const cgItemData& d : list)
            guids << d.guid.toString();
        const QString dup = twin.guid.toString();
        guids << QUuid::createUuid().toString() << QString() << dup.toUpper();

        model()->resetCgList(list);
        QVERIFY(check(guids));
        QCOMPARE(model()->findCg(dup)->name(), QStringLiteral("5"));
        // The twin moves in front of the first: now it is found.
        model()->moveCg(150, 0, someOperator());
        QVERIFY(check(guids));
        QCOMPARE(model()->findCg(dup)->name(), QStringLiteral("twin"));
        model()->removeCg(model()->cgAt(0), someOperator());
        QVERIFY(check(guids));
        QCOMPARE(model()->findCg(dup)->name(), QStringLiteral("5"));
        model()->removeCg(model()->findCg(dup), someOperator());
        QVERIFY(check(guids));
        QCOMPARE(model()->findCg(dup), nullptr);
        auto* again = new OvSubCGItem(twin);
        model()->insertCg(again, someOperator());
        QCOMPARE(model()->findCg(dup), again);
        QVERIFY(model()->findCg(QUuid().toString()));
        model()->resetCgList(list.mid(0, 3));
        QVERIFY(check(guids));
        model()->clearCg();
        QVERIFY(check(guids));
        QCOMPARE(model()->findCg(guids.first()), nullptr);
    }

    // Guids crafted to collide under Qt's own QUuid hash, many items sharing
    // one guid and many without: loading, finding, notifying and clearing stay
    // linear (the suite's timeout would catch a walk per item).
    void hostileGuidsStayCheap()
    {
        constexpr int n = 20000;
        QList<cgItemData> list;
        const QUuid shared = QUuid::createUuid();
        for (int i = 0; i < n; ++i) {
            cgItemData colliding;  // data1 ^ data2 cancels: one bucket in qHash(QUuid)
            colliding.guid = QUuid(uint(i + 1), ushort(i + 1), 7, 1, 2, 3, 4, 5, 6, 7, 8);
            colliding.name = QStringLiteral("c%1").arg(i);
            cgItemData twin;
            twin.guid = shared;
            twin.name = QStringLiteral("t%1").arg(i);
            list << colliding << twin << cgItemData();
        }
        QCOMPARE(qHash(list.at(0).guid), qHash(list.at(3).guid));
        model()->resetCgList(list);
        QCOMPARE(model()->count(), 3 * n);
        for (int i = 0; i < n; i += 97)
            QCOMPARE(model()->findCg(list.at(3 * i).guid.toString())->name(), QStringLiteral("c%1").arg(i));
        // Notifications for the shared guid reach the first of them, every time.
        OvSubCGItem* const first = model()->findCg(shared.toString());
        QCOMPARE(first->name(), QStringLiteral("t0"));
        for (int k = 0; k < 1000; ++k)
            model()->findCg(shared.toString())->setStatus(k % 3, someOperator());
        QCOMPARE(first->status(), 999 % 3);
        // Removing from the middle of the chains, then everything.
        for (int i = n - 1; i > n / 2; i -= 2)
            model()->removeCg(model()->cgAt(3 * i + 1), someOperator());
        model()->removeCg(first, someOperator());
        QCOMPARE(model()->findCg(shared.toString())->name(), QStringLiteral("t1"));
        model()->clearCg();
        QCOMPARE(model()->findCg(shared.toString()), nullptr);
        QCOMPARE(model()->findCg(list.at(0).guid.toString()), nullptr);
    }

    void unansweredPublishIsGivenUp_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("command");  // 0 PGM, 1 PVW, 2 cancel
        QTest::addColumn<QString>("line");
        QTest::newRow("pgm") << 0 << 0 << QStringLiteral("系统:studio未响应发布\"B\"到PGM的请求");
        QTest::newRow("pvw") << 1 << 1 << QStringLiteral("系统:studio未响应发布\"B\"到PVW的请求");
        QTest::newRow("cancel") << 2 << 2 << QStringLiteral("系统:studio未响应取消发布\"B\"的请求");
    }

    void unansweredPublishIsGivenUp()
    {
        QFETCH(int, from);
        QFETCH(int, command);
        QFETCH(QString, line);
        model()->setPublishAnswerTimeout(300);
        QStringList lines;  // system lines only: the operators' changes are worded too
        QObject scope;
        connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, &scope,
                [&lines](MessageType type, const QString&, const QString& title, const QString& text) {
                    if (type == SystemMessage)
                        lines << title + QLatin1Char(':') + text;
                });
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B", from)});
        OvSubCGItem* b = model()->cgAt(1);
        model()->setCurrentCg(b);
        Recorder rec(model());
        const auto publish = [&] {
            if (command == 0)
                OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
            else if (command == 1)
                OvTest::take(m_core.takes(), OvCgStatus::OnPvw);
            else
                OvTest::take(m_core.takes(), OvCgStatus::Idle);
        };
        publish();
        QCOMPARE(b->status(), 3);
        const QString requestId = rec.infos().last().operationID;
        rec.take();
        lines.clear();

        // No answer: back to where it was, with the request's identity (the
        // tile drops its overlay), and one line.
        QTRY_COMPARE_WITH_TIMEOUT(b->status(), from, 2000);
        QCOMPARE(rec.take(), QStringList{QStringLiteral("upd 1 1 B %1").arg(requestId)});
        QCOMPARE(rec.infos().last().operatorName, instanceGuid());
        QCOMPARE(lines, QStringList{line});
        // Commands work again; a late notification still sets the true status.
        publish();
        QCOMPARE(b->status(), 3);
        b->setStatus(1, someOperator());
        QCOMPARE(b->status(), 1);
        // Answered in time: nothing is given up later.
        lines.clear();
        QTest::qWait(500);
        QCOMPARE(b->status(), 1);
        QVERIFY(lines.isEmpty());

        // Another operator's change while waiting ends the wait too.
        b->setStatus(from, someOperator());
        publish();
        b->setStatus(2, someOperator("op-7"));
        QTest::qWait(500);
        QCOMPARE(b->status(), 2);
        // An item removed while waiting is not touched.
        b->setStatus(from, someOperator());
        publish();
        model()->removeCg(b, someOperator());
        QTest::qWait(500);
        QVERIFY(lines.isEmpty());
        model()->setPublishAnswerTimeout(OvCGListModel::DefaultPublishAnswerMs);
    }

    // Status 3 is this console's own "sending"; from the server it would lock
    // the item for good, so the same give-up frees it.
    void sendingFromTheServerIsGivenUp()
    {
        model()->setPublishAnswerTimeout(300);
        model()->resetCgList({OvTest::cgRecord("A", 1), OvTest::cgRecord("B", 3)});
        OvSubCGItem* const a = model()->cgAt(0);
        OvSubCGItem* const b = model()->cgAt(1);
        a->setStatus(3, someOperator());
        QTest::qWait(150);
        a->setStatus(3, someOperator());  // restarts the wait, keeps where it was
        QTest::qWait(200);
        QCOMPARE(a->status(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(a->status(), 1, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(b->status(), 0, 2000);
        // Commands work again.
        model()->setCurrentCg(b);
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);
        QCOMPARE(b->status(), 3);
        QVERIFY(!model()->pendingOperationId(b).isEmpty());
        model()->setPublishAnswerTimeout(OvCGListModel::DefaultPublishAnswerMs);
    }

    void removedItemsAreDeletedByTheEventLoop()
    {
        load({"A", "B"});
        QPointer<OvSubCGItem> a = model()->cgAt(0);
        model()->removeCg(a, someOperator());
        QVERIFY(a);
        QTRY_VERIFY_WITH_TIMEOUT(a.isNull(), 2000);
    }

    // Positions stay right through any mix of additions, removals and moves
    // (the model remembers them rather than searching the list).
    // Additions past the catalogue's bound are counted, not listed; a removal
    // makes room for the next one; a new catalogue starts the count again.
    // Steps: "+" the server adds an item, "-" it removes the first, "r" a new catalogue.
    void additionsPastTheBound_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("unlisted");
        QTest::addColumn<QString>("last");  // the last item's name
        QTest::newRow("one") << "+" << 1 << "full";
        QTest::newRow("three") << "+++" << 3 << "full";
        QTest::newRow("after a removal") << "+-+" << 1 << "added 2";
        QTest::newRow("a new catalogue") << "++r" << 0 << "full";
    }

    void additionsPastTheBound()
    {
        QFETCH(QString, steps);
        QFETCH(int, unlisted);
        QFETCH(QString, last);
        QList<cgItemData> full;
        for (int i = 0; i < OvProtocol::MaxCgItems; ++i)
            full.append(OvTest::cgRecord(QStringLiteral("full")));
        model()->resetCgList(full);
        for (int i = 0; i < steps.size(); ++i) {
            OvCgNotification n;
            n.operationType = steps.at(i) == '+' ? OvProtocol::Add : OvProtocol::Remove;
            n.target = model()->cgAt(0)->guid();
            n.record = {QUuid::createUuid(), QStringLiteral("added %1").arg(i), 0, QString()};
            steps.at(i) == 'r' ? model()->resetCgList(full) : void(model()->applyNotification(n));
        }
        QCOMPARE(model()->unlistedCount(), unlisted);
        QCOMPARE(model()->count(), OvProtocol::MaxCgItems);
        QCOMPARE(model()->cgAt(OvProtocol::MaxCgItems - 1)->name(), last);
    }

    void positionsFollowEveryChange()
    {
        QList<cgItemData> list;
        for (int i = 0; i < 8; ++i)
            list.append(OvTest::cgRecord(QString::number(i)));
        model()->resetCgList(list);
        QList<OvSubCGItem*> expected = model()->cgList();
        QRandomGenerator random(7);
        for (int step = 0; step < 20000; ++step) {
            const int at = expected.isEmpty() ? 0 : int(random.bounded(expected.size()));
            switch (random.bounded(4)) {
            case 0:
                if (expected.size() < 20) {
                    expected.append(new OvSubCGItem(OvTest::cgRecord(QStringLiteral("n"))));
                    model()->insertCg(expected.last(), localOperatorInfo());
                }
                break;
            case 1:
                if (!expected.isEmpty())
                    model()->removeCg(expected.takeAt(at), localOperatorInfo());
                break;
            case 2:
                if (!expected.isEmpty()) {
                    const int to = int(random.bounded(expected.size()));
                    model()->moveCg(model()->indexOfCg(expected.at(at)), to, localOperatorInfo());
                    expected.insert(to, expected.takeAt(at));
                }
                break;
            default:
                if (!expected.isEmpty())
                    QCOMPARE(model()->indexOfCg(expected.at(at)), at);
            }
            QCOMPARE(model()->cgList(), expected);
        }
        model()->clearCg();
    }
};

QTEST_MAIN(TestCgModel)
#include "tst_cgmodel.moc"
