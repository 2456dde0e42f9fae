// The widget library's public headers: each one builds on its own (see the
// test's .cmake), and none is left out of that check.
#include <ovalone.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

class TstPublicHeaders : public QObject
{
    Q_OBJECT

private slots:
    void everyHeaderCompiledAlone()
    {
        QStringList compiled;
        for (const char* name : {OV_ALONE_HEADERS})
            compiled.append(QString::fromLatin1(name));
        compiled.sort();
        const QDir include(QStringLiteral(OV_SOURCE_DIR "/uiutility/include/OvUIUtility"));
        const QStringList present = include.entryList({QStringLiteral("*.h")}, QDir::Files, QDir::Name);
        QVERIFY(present.size() >= 28);
        QCOMPARE(compiled, present);
    }

    // Every class and exported function of the headers says what it is for: a
    // comment right above its declaration.
    void everyDeclarationHasAComment()
    {
        const QDir include(QStringLiteral(OV_SOURCE_DIR "/uiutility/include/OvUIUtility"));
        const QRegularExpression declaration(
            QStringLiteral("^(class \\w|class OVUIUTILITY_EXPORT |OVUIUTILITY_EXPORT )"));
        int checked = 0;
        for (const QString& name : include.entryList({QStringLiteral("*.h")}, QDir::Files)) {
            QFile file(include.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
            for (int i = 0; i < lines.size(); ++i) {
                // Forward declarations need no comment.
                const bool forward = lines[i].startsWith(QLatin1String("class ")) && lines[i].endsWith(QLatin1Char(';'));
                if (!declaration.match(lines[i]).hasMatch() || forward)
                    continue;
                ++checked;
                const QString above = i > 0 ? lines[i - 1].trimmed() : QString();
                QVERIFY2(above.startsWith(QLatin1String("//")), qPrintable(name + QLatin1String(": ") + lines[i]));
            }
        }
        QVERIFY(checked >= 28);
    }
};

QTEST_GUILESS_MAIN(TstPublicHeaders)
#include "tst_publicheaders.moc"
