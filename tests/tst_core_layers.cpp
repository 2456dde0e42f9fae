// The layers below the widgets: what their sources include, what the program
// that links them loads, and the seam through which the transfer client's
// errors reach the operator.

#include "net/OvErrorPresenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

struct Layer {
    QString dir;         // the folder its source paths are relative to
    QStringList sources; // absolute paths
};

QHash<QString, Layer> readLayers()
{
    QHash<QString, Layer> layers;
    QFile file(QStringLiteral(OV_LAYERS_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return layers;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 3)
            continue;
        Layer& layer = layers[fields.at(0)];
        layer.dir = fields.at(1);
        for (int i = 2; i < fields.size(); ++i) {
            // Generated sources (moc) include only what their header does.
            if (!fields.at(i).contains(QLatin1String("_autogen")))
                layer.sources.append(QDir(layer.dir).absoluteFilePath(fields.at(i)));
        }
    }
    return layers;
}

QSet<QString> headerNames(const char* dir)
{
    const QStringList names = QDir(QString::fromUtf8(dir)).entryList(QDir::Files);
    return QSet<QString>(names.cbegin(), names.cend());
}

}  // namespace

class TstCoreLayers : public QObject
{
    Q_OBJECT

private slots:
    void includesPointDown_data();
    void includesPointDown();
    void noWidgetsLoaded();
    void presenterSeam();
};

void TstCoreLayers::includesPointDown_data()
{
    QTest::addColumn<QString>("layer");
    QTest::addColumn<QStringList>("below");   // layers whose headers it may include
    QTest::addColumn<bool>("coreQtOnly");     // Qt headers from Qt Core alone
    QTest::newRow("ovprotocol") << "ovprotocol" << QStringList() << true;
    QTest::newRow("ovhotkey") << "ovhotkey" << QStringList() << false;
    QTest::newRow("ovcore") << "ovcore" << QStringList{"ovprotocol", "ovhotkey"} << false;
}

// Quoted includes name headers of the layer itself or of a layer below it;
// angle includes name no widget header (nor, for the protocol, any Qt header
// beyond Qt Core) and nothing of the widget library.
void TstCoreLayers::includesPointDown()
{
    QFETCH(QString, layer);
    QFETCH(QStringList, below);
    QFETCH(bool, coreQtOnly);

    const QHash<QString, Layer> layers = readLayers();
    QVERIFY2(layers.contains(layer), qPrintable(QStringLiteral("no source list for %1 in %2")
                                                     .arg(layer, QStringLiteral(OV_LAYERS_FILE))));
    QSet<QString> allowed;
    for (const QString& name : below + QStringList{layer})
        for (const QString& source : layers.value(name).sources)
            allowed.insert(source);
    const QSet<QString> coreHeaders = headerNames(OV_QT_CORE_DIR);
    const QSet<QString> widgetHeaders = headerNames(OV_QT_WIDGETS_DIR);
    QVERIFY(coreHeaders.contains(QStringLiteral("QObject")));
    QVERIFY(widgetHeaders.contains(QStringLiteral("QWidget")));

    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"),
                                            QRegularExpression::MultilineOption);
    QStringList faults;
    const QStringList sources = layers.value(layer).sources;
    QVERIFY(!sources.isEmpty());
    for (const QString& source : sources) {
        QFile file(source);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(source));
        const QString text = QString::fromUtf8(file.readAll());
        auto it = include.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const QString name = m.captured(2);
            bool ok = true;
            if (m.captured(1) == QLatin1String("\"")) {
                const QString base = name.contains(QLatin1Char('/')) ? layers.value(layer).dir
                                                                      : QFileInfo(source).absolutePath();
                ok = allowed.contains(QDir::cleanPath(QDir(base).absoluteFilePath(name)));
            } else if (name.startsWith(QLatin1String("OvUIUtility/")) || name.startsWith(QLatin1String("QtWidgets/"))) {
                ok = false;
            } else if (name.startsWith(QLatin1Char('Q')) && !name.contains(QLatin1Char('/'))) {
                ok = coreQtOnly ? coreHeaders.contains(name) : !widgetHeaders.contains(name);
            } else if (coreQtOnly && name.startsWith(QLatin1String("Qt")) && name.contains(QLatin1Char('/'))) {
                ok = name.startsWith(QLatin1String("QtCore/"));
            }
            if (!ok)
                faults.append(QStringLiteral("%1 includes %2").arg(QFileInfo(source).fileName(), name));
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
}

// The link line carries no widget library, not even through a dependency.
void TstCoreLayers::noWidgetsLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray loaded = maps.readAll();
    QVERIFY(loaded.contains("libQt5Core"));
    QVERIFY2(!loaded.contains("libQt5Widgets"), "a widget-free layer pulls Qt Widgets");
    QVERIFY2(!loaded.contains("libOvUIUtility"), "a widget-free layer pulls the widget library");
}

// Texts reach the presenter installed last, in order; installing returns the
// one replaced, so a test's recorder can hand the shell's box back; with none
// installed the text is not lost but warned about.
void TstCoreLayers::presenterSeam()
{
    QStringList first;
    QStringList second;
    const OvErrorPresenter::Present before =
        OvErrorPresenter::install([&first](const QString& text) { first.append(text); });
    QVERIFY(!before);
    OvErrorPresenter::present(QStringLiteral("a"));
    const OvErrorPresenter::Present replaced =
        OvErrorPresenter::install([&second](const QString& text) { second.append(text); });
    OvErrorPresenter::present(QStringLiteral("b"));
    OvErrorPresenter::install(replaced);
    OvErrorPresenter::present(QStringLiteral("c"));
    QCOMPARE(first, (QStringList{"a", "c"}));
    QCOMPARE(second, QStringList{"b"});

    OvErrorPresenter::install({});
    QTest::ignoreMessage(QtWarningMsg, "Connection error with no presenter installed: d");
    OvErrorPresenter::present(QStringLiteral("d"));
}

QTEST_GUILESS_MAIN(TstCoreLayers)
#include "tst_core_layers.moc"
