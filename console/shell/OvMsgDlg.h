#pragma once

#include "OvCGBaseDlg.h"

class OvButton;
class OvLabel;
class OvTitlebar;

// The console's message box. Kind 0 offers "是"; kind 1 "否" and "是"; kind 2
// and above "取消", "否" and "是". exec() is 1 for "是" and 0 otherwise;
// resultCode() tells the buttons apart (0 yes, 1 no, 2 cancel).
class OvMsgDlg : public OvCGBaseDlg
{
    Q_OBJECT
public:
    enum ResultCode { Yes = 0, No = 1, Cancel = 2 };

    OvMsgDlg(const QString& text, int kind, QWidget* parent = nullptr);
    ~OvMsgDlg() override;

    int kind() const { return m_kind; }
    int resultCode() const { return m_resultCode; }

    OvTitlebar* titlebar() const { return m_titlebar; }
    OvLabel* messageLabel() const { return m_uiMsg; }
    OvButton* cancelButton() const { return m_pCancle; }
    OvButton* noButton() const { return m_pNo; }
    OvButton* yesButton() const { return m_pYes; }

public slots:
    void slotNo();
    void slotCancel();
    void slotYes();

private:
    OvTitlebar* m_titlebar;
    int m_kind;
    int m_resultCode = Yes;
    OvLabel* m_uiMsg;
    OvButton* m_pCancle;
    OvButton* m_pNo;
    OvButton* m_pYes;
};
