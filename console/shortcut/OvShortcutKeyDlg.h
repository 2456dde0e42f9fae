#pragma once

#include "shell/OvCGBaseDlg.h"

class QShowEvent;

// The reference card of the keyboard shortcuts: the hot key that switches the
// single keys on and off, the arrow keys that move the current CG, and the
// three publish keys. Opened with the main window as parent, it is a panel
// centred inside it. Its texts are fixed and must agree with what the
// shortcut table registers.
class OvShortcutKeyDlg : public OvCGBaseDlg
{
    Q_OBJECT
public:
    explicit OvShortcutKeyDlg(QWidget* parent);
    ~OvShortcutKeyDlg() override;

protected:
    void showEvent(QShowEvent* event) override;
};
