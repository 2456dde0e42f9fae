#include "OvConnectionErrorBox.h"

#include "shell/OvMsgDlg.h"

namespace OvConnectionErrorBox {

void show(const QString& text)
{
    OvMsgDlg box(text, 0, nullptr);
    box.exec();
}

}  // namespace OvConnectionErrorBox
