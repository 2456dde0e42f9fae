#include "net/OvErrorPresenter.h"

#include <QtGlobal>

#include <utility>

namespace {

OvErrorPresenter::Present& installed()
{
    static OvErrorPresenter::Present present;
    return present;
}

}  // namespace

OvErrorPresenter::Present OvErrorPresenter::install(Present present)
{
    return std::exchange(installed(), std::move(present));
}

void OvErrorPresenter::present(const QString& text)
{
    // A copy: the presenter may install another while its box is open.
    const Present present = installed();
    if (present)
        present(text);
    else
        qWarning("Connection error with no presenter installed: %s", qUtf8Printable(text));
}
