// The English translation: complete for the sources as they stand, with the
// same placeholders as the source texts, and no English text cut off in the
// console's windows at their own sizes.

#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "shell/OvAboutDlg.h"
#include "shell/OvCGVestrel.h"
#include "shell/OvLoginDlg.h"
#include "shell/OvMsgDlg.h"
#include "shortcut/OvShortcutKeyDlg.h"

#include <OvUIUtility/OvUIUtility.h>

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const QString TsFile = QStringLiteral(OV_SOURCE_DIR "/translations/ovcgvestrel_en.ts");

struct Entry {
    QString context;
    QString source;
    QString translation;
    bool finished = true;
};

QList<Entry> readTs(const QString& path)
{
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    Entry entry;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            entry = Entry{context, xml.readElementText(), QString(), true};
        } else if (xml.name() == QLatin1String("translation")) {
            entry.finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            entry.translation = xml.readElementText();
            entries.append(entry);
        }
    }
    return entries;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%\\d"));
    QStringList found;
    auto it = marker.globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured());
    found.sort();
    return found;
}

// Texts of the shown labels, buttons, group boxes and table headers under
// root that need more room than they have.
QStringList cutOff(QWidget* root)
{
    QStringList faults;
    auto check = [&faults](const QWidget* w, const QString& text, int room) {
        const int needed = w->fontMetrics().horizontalAdvance(text);
        if (!text.isEmpty() && needed > room)
            faults.append(QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(needed).arg(room));
    };
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (label->isVisibleTo(root) && !label->wordWrap() && label->pixmap(Qt::ReturnByValue).isNull())
            check(label, label->text(), label->contentsRect().width());
    }
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(root))
            check(button, button->text(), button->width() - 8);
    }
    for (QGroupBox* box : root->findChildren<QGroupBox*>()) {
        if (box->isVisibleTo(root))
            check(box, box->title(), box->width() - 16);
    }
    for (QTableWidget* table : root->findChildren<QTableWidget*>()) {
        if (!table->isVisibleTo(root))
            continue;
        for (int c = 0; c < table->columnCount(); ++c) {
            if (const QTableWidgetItem* header = table->horizontalHeaderItem(c))
                check(table, header->text(), table->horizontalHeader()->sectionSize(c) - 8);
            if (const QTableWidgetItem* item = table->item(0, c))
                check(table, item->text(), table->columnWidth(c) - 8);
        }
    }
    return faults;
}

}  // namespace

class TstTranslation : public QObject
{
    Q_OBJECT

private slots:
    void complete()
    {
        const QList<Entry> entries = readTs(TsFile);
        QVERIFY2(entries.size() > 100, qPrintable(TsFile));
        for (const Entry& e : entries) {
            QVERIFY2(e.finished && !e.translation.isEmpty(), qPrintable(e.context + QLatin1Char(':') + e.source));
            QCOMPARE(placeholders(e.translation), placeholders(e.source));
        }
    }

    // Every text the sources mark for translation is in the file: Qt's own
    // lupdate, run over the sources now, finds nothing the file lacks.
    void upToDate()
    {
        const QString lupdate = QStandardPaths::findExecutable(QStringLiteral("lupdate"));
        QVERIFY2(!lupdate.isEmpty(), "lupdate (qttools5-dev-tools) is not installed");
        const QString fresh = OvTest::freshDir(QStringLiteral("ts")) + QStringLiteral("/fresh.ts");
        QProcess run;
        run.start(lupdate, {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                            QStringLiteral(OV_SOURCE_DIR "/console"), QStringLiteral(OV_SOURCE_DIR "/uiutility/src"),
                            QStringLiteral(OV_SOURCE_DIR "/uiutility/include"), QStringLiteral("-ts"), fresh});
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        QSet<QString> translated;
        for (const Entry& e : readTs(TsFile))
            translated.insert(e.context + QLatin1Char('\n') + e.source);
        QStringList missing;
        for (const Entry& e : readTs(fresh)) {
            if (!translated.contains(e.context + QLatin1Char('\n') + e.source))
                missing.append(e.context + QLatin1Char(':') + e.source);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral("; "))));
    }

    void englishFits()
    {
        QVERIFY(QDir(QStringLiteral(OV_RUN_DIR "/language/en")).exists());
        // The translator is looked for beside the program.
        QCoreApplication::setApplicationName(QStringLiteral("tst_translation"));
        QVERIFY(QFile::link(QStringLiteral(OV_RUN_DIR "/language"),
                            QCoreApplication::applicationDirPath() + QStringLiteral("/language"))
                || QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/language")));
        QVERIFY(QFile::link(QStringLiteral(OV_RUN_DIR "/qss"), QCoreApplication::applicationDirPath() + QStringLiteral("/qss"))
                || QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/qss")));
        loadTranslator(QStringLiteral("en"));
        loadStyleSheet(QStringLiteral("default.qss"));
        QCOMPARE(QCoreApplication::translate("OvTitlebar", "帮助"), QStringLiteral("Help"));

        OvConsoleCore core{OvSettings()};
        OvCGVestrel main(core);
        OvLoginDlg login(nullptr);
        OvAboutDlg about(&main);
        OvShortcutKeyDlg shortcuts(&main);
        OvMsgDlg question(QCoreApplication::translate("OvCGVestrel", "是否断开远程连接"), 1, nullptr);
        for (QWidget* w : std::initializer_list<QWidget*>{&main, &login, &about, &shortcuts, &question}) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w->window()));
            const QStringList faults = cutOff(w);
            QVERIFY2(faults.isEmpty(), qPrintable(QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(": ")
                                                  + faults.join(QStringLiteral("; "))));
        }
    }
};

QTEST_MAIN(TstTranslation)
#include "tst_translation.moc"
