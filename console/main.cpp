#include "shell/OvCGVestrel.h"
#include "shell/OvConsoleCore.h"
#include "shell/OvHelpViewer.h"
#include "shell/OvSettings.h"

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

    // Read once; before any window: every text is translated when it is made.
    const OvSettings settings = OvSettings::fromFile(OvSettings::defaultPath());
    const QString language = settings.language();
    if (!language.isEmpty())
        loadTranslator(language);
    OvHelpViewer::setLanguage(language);

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/OvCGVestrel/Resources/logo_large.png")));
    applyAppStyleSheet(QStringLiteral("default.qss"));

    // The parts the window works with, then the window, which builds and
    // shows itself; they end in the reverse order.
    OvConsoleCore core(settings);
    OvCGVestrel window(core, nullptr);
    window.setWindowTitle(QStringLiteral("CGVestrel"));
    // A second start brings this window forward instead of opening another console.
    app.setActivationWindow(&window);

    return QApplication::exec();
}
