#pragma once

#include "OvCGBaseDlg.h"
#include "cg/OvCGShowWidget.h"
#include "cg/OvControlWidget.h"
#include "cg/OvTakeCommand.h"

class OvConsoleCore;
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
    // Builds its views on core's parts and shows itself.
    explicit OvCGVestrel(OvConsoleCore& core, QWidget* parent = nullptr);
    ~OvCGVestrel() override;

    OvTitlebar* titlebar() const { return m_titlebar; }
    OvGrayButton* connectButtonWidget() const { return connectButton; }
    OvGrayButton* lockButton() const { return m_lockButton; }
    OvGrayButton* clearAllButton() const { return m_clearAllButton; }
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
    // Asks, then takes every CG on PGM or PVW off air.
    void askClearAll(OvTakeCommand::Source source);

    OvConsoleCore* m_core;

    OvTitlebar* m_titlebar = nullptr;
    OvLoginDlg* m_loginDlg = nullptr;
    OvGrayButton* connectButton = nullptr;
    OvGrayButton* m_lockButton = nullptr;
    OvGrayButton* m_clearAllButton = nullptr;
    OvControlWidget* m_controlWidget = nullptr;
    OvCGShowWidget* m_showWidget = nullptr;
};
