#include <OvUIUtility/OnlyOneApplication.h>
#include <OvUIUtility/OvUIUtility.h>

#include <QIcon>
#include <QLabel>
#include <QWidget>

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

    QApplication::setWindowIcon(QIcon(QStringLiteral(":/OvCGVestrel/Resources/logo_large.png")));
    applyAppStyleSheet(QStringLiteral("default.qss"));

    // Stands in for the main window until it is built.
    QWidget window;
    window.setObjectName(QStringLiteral("OvCGVestrel"));
    window.resize(1280, 800);
    auto* hint = new QLabel(QStringLiteral("CGVestrel"), &window);
    hint->setAlignment(Qt::AlignCenter);
    hint->setGeometry(0, 0, 1280, 800);
    window.show();
    window.setWindowTitle(QStringLiteral("CGVestrel"));
    app.setActivationWindow(&window);

    return QApplication::exec();
}
