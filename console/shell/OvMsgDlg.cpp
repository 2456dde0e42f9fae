#include "OvMsgDlg.h"

#include "OvTitlebar.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QHBoxLayout>

OvMsgDlg::OvMsgDlg(const QString& text, int kind, QWidget* parent)
    : OvCGBaseDlg(parent, 1),
      m_titlebar(new OvTitlebar(this)),
      m_kind(kind),
      m_uiMsg(nullptr),
      m_pCancle(nullptr),
      m_pNo(nullptr),
      m_pYes(nullptr)
{
    setObjectName(QStringLiteral("OvMsgDlg"));

    m_titlebar->hideIcon();
    m_titlebar->hideMaximizeButton();
    m_titlebar->hideMinimizeButton();
    m_titlebar->setTitle(tr("提示"));

    auto* icon = new OvLabel(QStringLiteral("OvMsgDlg_icon"), this);
    m_uiMsg = new OvLabel(QStringLiteral("OvMsgDlg_m_uiMsg"), this);
    m_uiMsg->setWordWrap(true);
    m_uiMsg->setText(text);

    auto* messageRow = new QHBoxLayout;
    messageRow->setContentsMargins(20, 0, 0, 0);
    messageRow->setSpacing(5);
    messageRow->addWidget(icon);
    messageRow->addWidget(m_uiMsg, 1);

    m_pCancle = new OvButton(QStringLiteral("OvMsgDlg_m_pCancle"), this);
    m_pCancle->setText(tr("取消"));
    m_pNo = new OvButton(QStringLiteral("OvMsgDlg_m_pNo"), this);
    m_pNo->setText(tr("否"));
    m_pYes = new OvButton(QStringLiteral("OvMsgDlg_m_pYes"), this);
    m_pYes->setText(tr("是"));
    if (m_kind < 2)
        m_pCancle->hide();
    if (m_kind < 1)
        m_pNo->hide();

    connect(m_pCancle, &QPushButton::clicked, this, &OvMsgDlg::slotCancel);
    connect(m_pYes, &QPushButton::clicked, this, &OvMsgDlg::slotYes);
    connect(m_pNo, &QPushButton::clicked, this, &OvMsgDlg::slotNo);

    auto* buttonRow = new HNsNmLayout;
    buttonRow->setSpacing(6);
    buttonRow->addWidget(m_pCancle);
    buttonRow->addWidget(m_pNo);
    buttonRow->addWidget(m_pYes);
    buttonRow->insertStretch(0);

    auto* content = new VNsNmLayout;
    content->setContentsMargins(10, 0, 10, 10);
    content->addLayout(messageRow);
    content->addLayout(buttonRow);

    auto* outer = new VNsNmLayout(this);
    outer->addWidget(m_titlebar);
    outer->addLayout(content);
}

OvMsgDlg::~OvMsgDlg() = default;

void OvMsgDlg::slotNo()
{
    m_resultCode = No;
    reject();
}

void OvMsgDlg::slotCancel()
{
    m_resultCode = Cancel;
    reject();
}

void OvMsgDlg::slotYes()
{
    m_resultCode = Yes;
    accept();
}
