#include "OvAboutDlg.h"

#include "OvTitlebar.h"
#include "OvVersionInfo.h"

#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/VNsNmLayout.h>

OvAboutDlg::OvAboutDlg(QWidget* parent) : OvAboutDlg(OvVersionInfo::instance(), parent) {}

OvAboutDlg::OvAboutDlg(const OvVersionInfo& info, QWidget* parent)
    : OvCGBaseDlg(parent, 1), m_titlebar(new OvTitlebar(this))
{
    setObjectName(QStringLiteral("OvAboutDlg"));

    m_titlebar->setTitle(tr("关于软件"));
    m_titlebar->hideIcon();
    m_titlebar->hideMaximizeButton();
    m_titlebar->hideMinimizeButton();

    const struct
    {
        const char* name;
        QString text;
    } rows[] = {
        {"OvAboutDlg_softWareName", tr("软件名称: %1").arg(info.productName())},
        {"OvAboutDlg_softWareVersion", tr("软件版本: %1").arg(info.versionText())},
        {"OvAboutDlg_companyName", tr("公司名称: %1").arg(info.companyName())},
        {"OvAboutDlg_companyAddr", tr("公司地址: %1").arg(OvVersionInfo::companyAddress())},
        {"OvAboutDlg_companyTel", tr("电话: %1").arg(OvVersionInfo::companyTelephone())},
        {"OvAboutDlg_companyMail", tr("邮箱: %1").arg(OvVersionInfo::companyMail())},
        {"OvAboutDlg_copyRight", tr("版权: %1").arg(info.legalCopyright())},
    };

    auto* content = new VNsNmLayout;
    content->setContentsMargins(24, 28, 24, 30);
    content->setSpacing(16);
    for (const auto& row : rows) {
        auto* label = new OvLabel(QString::fromLatin1(row.name), this);
        label->setText(row.text);
        // All rows share the plain label style.
        label->resetDefaultObjectName();
        content->addWidget(label);
    }

    auto* outer = new VNsNmLayout(this);
    outer->addWidget(m_titlebar);
    outer->addLayout(content);
}

OvAboutDlg::~OvAboutDlg() = default;

void OvAboutDlg::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown inside a parent with a layout, a panel is not sized by Qt: size it to
    // its contents unless someone already chose a size.
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    if (QWidget* parent = parentWidget()) {
        const QRect area = parent->rect();
        setGeometry(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2, width(), height());
    }
}
