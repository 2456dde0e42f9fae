#include "shell/OvLoginDlg.h"

#include "net/OvNetworkDiscovery.h"
#include "shell/OvPlainLineEdit.h"
#include "net/OvTransferServer.h"
#include "shell/OvConfig.h"
#include "shell/OvTitlebar.h"

#include <OvUIUtility/OvRepolish.h>
#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvComboBoxListView.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvYellowButton.h>
#include <OvUIUtility/VNsNmLayout.h>

#include <QFrame>

namespace {

OvLabel* fieldLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new OvLabel(QString::fromLatin1(name), parent);
    label->setText(text);
    OvRepolish::setStyleProperty(label, "type", QString::fromLatin1(name));
    // The row labels share the plain label look; "type" tells them apart.
    label->resetDefaultObjectName();
    return label;
}

HNsNmLayout* fieldRow(QWidget* label, QWidget* field)
{
    auto* row = new HNsNmLayout;
    row->addWidget(label);
    row->addStretch();
    row->addWidget(field);
    return row;
}

}  // namespace

OvLoginDlg::OvLoginDlg(QWidget* parent)
    : OvCGBaseDlg(parent, 1)
{
    setObjectName(QStringLiteral("OvLoginDlg"));

    auto* titlebar = new OvTitlebar(this);
    titlebar->setTitle(tr("连接设置"));
    titlebar->hideIcon();
    titlebar->hideMaximizeButton();
    titlebar->hideMinimizeButton();

    OvLabel* const onlineLabel = fieldLabel("OvLoginDlg_onlineLabel", tr("在线设备:"), this);
    m_serverList = new OvComboBoxListView(this);
    m_serverList->setModel(OvNetworkDiscovery::instance());

    OvLabel* const portLabel = fieldLabel("OvLoginDlg_portLabel", tr("端口设置:"), this);
    m_portEdit = new OvPlainLineEdit(this);
    m_portEdit->setText(QString::number(readConfigPort()));

    OvLabel* const passwordLabel = fieldLabel("OvLoginDlg_passwordLabel", tr("密码设置:"), this);
    m_passwordEdit = new OvPlainLineEdit(this);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setText(readConfigPassword());

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("OvLoginDlg_frame"));
    auto* fields = new VNsNmLayout(frame);
    fields->setContentsMargins(10, 10, 10, 10);
    fields->setSpacing(10);
    fields->addLayout(fieldRow(onlineLabel, m_serverList));
    fields->addLayout(fieldRow(portLabel, m_portEdit));
    fields->addLayout(fieldRow(passwordLabel, m_passwordEdit));

    auto* connectButton = new OvYellowButton(this);
    connectButton->setText(tr("连接"));
    OvRepolish::setStyleProperty(connectButton, "type", QStringLiteral("VirtualSceneManagerWidget_confirm"));
    auto* cancelButton = new OvGrayButton(this);
    cancelButton->setText(tr("取消"));
    OvRepolish::setStyleProperty(cancelButton, "type", QStringLiteral("VirtualSceneManagerWidget_cancel"));

    auto* buttons = new HNsNmLayout;
    buttons->setContentsMargins(0, 0, 10, 0);
    buttons->setSpacing(10);
    buttons->addStretch();
    buttons->addWidget(connectButton);
    buttons->addWidget(cancelButton);

    auto* content = new VNsNmLayout;
    content->setContentsMargins(15, 5, 15, 10);
    content->setSpacing(14);
    content->addWidget(frame);
    content->addLayout(buttons);

    auto* dialogLayout = new VNsNmLayout(this);
    dialogLayout->setContentsMargins(0, 0, 0, 10);
    dialogLayout->setSpacing(10);
    dialogLayout->addWidget(titlebar);
    dialogLayout->addLayout(content);
    dialogLayout->addLayout(new HNsNmLayout);
    dialogLayout->addStretch();

    // Connected before the model can gain a row, so the automatic choice of the
    // first server is seen too; a model that already has rows chose one above.
    connect(m_serverList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &OvLoginDlg::slotComboxChanged);
    slotComboxChanged(m_serverList->currentIndex());
    connect(connectButton, &QPushButton::clicked, this, &OvLoginDlg::ConnectToServer);
    connect(cancelButton, &QPushButton::clicked, this, &OvLoginDlg::reject);
    connect(OvTransferServer::instance(), &OvTransferServer::signalConnect, this,
            &OvLoginDlg::onConnectionChanged);
}

OvLoginDlg::~OvLoginDlg() = default;

int OvLoginDlg::portFromText(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok, 10);
    // A port outside the 16-bit range would wrap to some other port; treat it
    // like any other text that is no port, so the attempt fails visibly.
    return ok && port >= 0 && port <= 65535 ? port : 0;
}

void OvLoginDlg::ConnectToServer()
{
    OvTransferServer::instance()->connectToServer(m_selectedAddress, m_passwordEdit->text(),
                                                  portFromText(m_portEdit->text()));
}

void OvLoginDlg::slotComboxChanged(int index)
{
    m_selectedAddress = index < 0 ? QString()
                                  : m_serverList->itemData(index, OvNetworkDiscovery::AddressRole).toString();
}

void OvLoginDlg::onConnectionChanged(bool loggedIn)
{
    // The operator's work here is done once logged in; failures keep the
    // dialog open for another try.
    if (loggedIn && isVisible())
        accept();
}
