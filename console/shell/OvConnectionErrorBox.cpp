#include "OvConnectionErrorBox.h"

#include "net/OvTransferServer.h"
#include "shell/OvMsgDlg.h"

namespace OvConnectionErrorBox {

void show(const QString& text)
{
    OvMsgDlg box(text, 0, nullptr);
    // Reconnected while the box is open: its news is over.
    QObject::connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, &box, [&box](bool up) {
        if (up)
            box.reject();
    });
    box.exec();
}

}  // namespace OvConnectionErrorBox
