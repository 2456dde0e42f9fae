// Style sheet and translation loading, and the library's exported names.
#include "OvTestSupport.h"

#include <OvUIUtility/OvUIUtility.h>

#include <QApplication>
#include <QDir>
#include <QTest>

#include <dlfcn.h>

class TstUiUtility : public QObject
{
    Q_OBJECT

private:
    static QString qssPath(const QString& name)
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/qss/") + name;
    }
    static QString hello() { return QCoreApplication::translate("OvTr", "Hello"); }

private slots:
    void cleanup()
    {
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/qss")).removeRecursively();
    }

    void styleSheetIsApplied()
    {
        // UTF-8 with a CJK font family must arrive intact whatever the locale.
        const QByteArray sheet = "QLabel { font-family: \"微软雅黑\"; }\n";
        QVERIFY(OvTest::writeFile(qssPath("one.qss"), sheet));
        loadStyleSheet(QStringLiteral("one.qss"));
        QCOMPARE(qApp->styleSheet(), QString::fromUtf8(sheet));
    }

    void emptyNameMeansDefault()
    {
        QVERIFY(OvTest::writeFile(qssPath("default.qss"), "QWidget { color: red; }"));
        loadStyleSheet(QString());
        QCOMPARE(qApp->styleSheet(), QStringLiteral("QWidget { color: red; }"));
    }

    void missingFileKeepsSheet()
    {
        QVERIFY(OvTest::writeFile(qssPath("kept.qss"), "QWidget { color: blue; }"));
        loadStyleSheet(QStringLiteral("kept.qss"));
        loadStyleSheet(QStringLiteral("missing.qss"));
        QCOMPARE(qApp->styleSheet(), QStringLiteral("QWidget { color: blue; }"));
    }

    void translatorsInstallAndReplace()
    {
        QCOMPARE(hello(), QStringLiteral("Hello"));
        loadTranslator(QStringLiteral("alpha"));
        // Both files are installed; the later one in name order wins a shared text.
        QCOMPARE(hello(), QStringLiteral("Bonjour-b"));
        QCOMPARE(QCoreApplication::translate("OvTr", "Only A"), QStringLiteral("Seulement A"));
        QCOMPARE(QCoreApplication::translate("OvTr", "Only B"), QStringLiteral("Seulement B"));

        // A language without a folder changes nothing.
        loadTranslator(QStringLiteral("nosuchlanguage"));
        QCOMPARE(hello(), QStringLiteral("Bonjour-b"));

        // Another language first removes the two earlier files.
        loadTranslator(QStringLiteral("beta"));
        QCOMPARE(hello(), QStringLiteral("Hallo-c"));
        QCOMPARE(QCoreApplication::translate("OvTr", "Only A"), QStringLiteral("Only A"));
        QCOMPARE(QCoreApplication::translate("OvTr", "Only B"), QStringLiteral("Only B"));
    }

    void functionsAreExportedUnmangled()
    {
        void* lib = dlopen(OV_UIUTILITY_LIB, RTLD_NOW | RTLD_NOLOAD);
        if (!lib)
            lib = dlopen(OV_UIUTILITY_LIB, RTLD_NOW);
        QVERIFY2(lib, dlerror());
        QVERIFY(dlsym(lib, "loadStyleSheet"));
        QVERIFY(dlsym(lib, "loadTranslator"));
        dlclose(lib);
    }
};

QTEST_MAIN(TstUiUtility)
#include "tst_uiutility.moc"
