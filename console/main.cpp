#include "shell/OvCGVestrel.h"
#include "shell/OvConfig.h"
#include "shell/OvHelpViewer.h"

#include <OvUIUtility/OnlyOneApplication.h>
#include <OvUIUtility/OvUIUtility.h>

#include <QIcon>

namespace {
void applyAppStyleSheet(const QString& name)
{
    if (name.isEmpty())
        return;
    loadStyleSheet(name);
}
}  // namespace

int main(int argc, char** argv)
{
    OnlyOneApplication app(argc, argv, QStringLiteral("OvCG_Vestrel"));
    if (app.isRunning())
        return 0;
    OnlyOneApplication::setInstance(&app);

    // Before any window: every text is translated when it is made.
    const QString language = readConfigLanguage();
    if (!language.isEmpty())
        loadTranslator(language);
    OvHelpViewer::setLanguage(language);

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/OvCGVestrel/Resources/logo_large.png")));
    applyAppStyleSheet(QStringLiteral("default.qss"));

    // Builds and shows itself.
    OvCGVestrel window(nullptr);
    window.setWindowTitle(QStringLiteral("CGVestrel"));
    // A second start brings this window forward instead of opening another console.
    app.setActivationWindow(&window);

    return QApplication::exec();
}
