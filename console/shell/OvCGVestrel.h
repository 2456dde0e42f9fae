#pragma once

#include "OvCGBaseDlg.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvControlWidget.h"

class OvGrayButton;
class OvLoginDlg;
class OvTitlebar;
class QEvent;
class QKeyEvent;

// The console's main window: title bar with the latest notice and the help menu,
// the CG area in the middle, and the bottom row with the connect button on the
// left and the publish controls on the right. Every key press is offered to the
// single-key shortcuts.
class OvCGVestrel : public OvCGBaseDlg
{
    Q_OBJECT
public:
    explicit OvCGVestrel(QWidget* parent = nullptr);
    ~OvCGVestrel() override;

    OvTitlebar* titlebar() const { return m_titlebar; }
    OvGrayButton* connectButtonWidget() const { return connectButton; }
    OvLoginDlg* loginDialog() const { return m_loginDlg; }
    OvControlWidget* controlWidget() const { return m_controlWidget; }
    OvCGShowWidget* showWidget() const { return m_showWidget; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;

private slots:
    void login(bool checked);
    void slotConnect(bool loginSuccess);
    void quickWidget();
    void about();
    void helperInfo();

private:
    void setConnectButtonState(bool connected);
    void setReconnectingState(bool reconnecting);
    // The OSC remote control, when config.ini turns it on.
    void startOscControl();

    OvTitlebar* m_titlebar = nullptr;
    OvLoginDlg* m_loginDlg = nullptr;
    OvGrayButton* connectButton = nullptr;
    OvControlWidget* m_controlWidget = nullptr;
    OvCGShowWidget* m_showWidget = nullptr;
};
