#include "cg/OvControlWidget.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"

#include <OvUIUtility/HNsNmLayout.h>
#include <OvUIUtility/OvRepolish.h>
#include <OvUIUtility/OvGrayButton.h>

#include <QVariant>

namespace {

OvGrayButton* makeButton(QWidget* parent, const QString& type, const QString& name, const QString& description)
{
    auto* button = new OvGrayButton(parent, QString());
    button->setType(type);
    // The faces carry no text: screen readers and tests find the buttons by name.
    button->setAccessibleName(name);
    button->setAccessibleDescription(description);
    button->setToolTip(description);
    // Keys belong to the main window, which hands them to the shortcut table.
    button->setFocusPolicy(Qt::NoFocus);
    // Plain push buttons, never checkable: assistive technologies then offer
    // "Press", which clicks, where a checkable button's "Toggle" would only
    // flip its face and send nothing. The lit face is a property instead.
    button->setProperty("lit", false);
    return button;
}

// The lit face: the item is on this output.
void setLit(QWidget* button, bool lit)
{
    OvRepolish::updateStyleProperty(button, "lit", lit);
}

}  // namespace

OvControlWidget::OvControlWidget(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("OvControlWidget"));

    m_pgmButton = makeButton(this, QStringLiteral("OvControlWidget_pgm"), QStringLiteral("PGM"),
                             tr("发布到PGM（Z）"));
    connect(m_pgmButton, &QPushButton::clicked, this, &OvControlWidget::onSendPgm);
    m_pvwButton = makeButton(this, QStringLiteral("OvControlWidget_pvw"), QStringLiteral("PVW"),
                             tr("发布到PVW（X）"));
    connect(m_pvwButton, &QPushButton::clicked, this, &OvControlWidget::onSendPvw);
    m_cancelButton = makeButton(this, QStringLiteral("OvControlWidget_cancel"), tr("取消"),
                                tr("取消发布（C）"));
    connect(m_cancelButton, &QPushButton::clicked, this, &OvControlWidget::onCancelPublish);

    auto* layout = new HNsNmLayout(nullptr);
    layout->addWidget(m_pgmButton);
    layout->addWidget(m_pvwButton);
    layout->addWidget(m_cancelButton);
    setLayout(layout);

    connect(OvCGListModel::instance(), &OvCGListModel::SignalCurrentCGChanged, this,
            &OvControlWidget::onCurrentCgChanged);
    connect(OvCGListModel::instance(), &OvCGListModel::hiddenChanged, this, &OvControlWidget::resetUi);
}

OvControlWidget::~OvControlWidget() = default;

void OvControlWidget::stopFollowing()
{
    if (!m_item)
        return;
    m_pgmButton->setEnabled(true);
    m_pvwButton->setEnabled(true);
    m_cancelButton->setEnabled(true);
    disconnect(m_item, &OvSubCGItem::updateData, this, &OvControlWidget::resetUi);
    disconnect(m_item, &QObject::destroyed, this, &OvControlWidget::destroyed);
    m_item = nullptr;
}

void OvControlWidget::onCurrentCgChanged(OvSubCGItem* newCG)
{
    stopFollowing();
    if (newCG) {
        m_item = newCG;
        connect(m_item, &OvSubCGItem::updateData, this, &OvControlWidget::resetUi);
        connect(m_item, &QObject::destroyed, this, &OvControlWidget::destroyed);
        resetUi();
    } else {
        setLit(m_pgmButton, false);
        setLit(m_pvwButton, false);
        setLit(m_cancelButton, true);
    }
}

void OvControlWidget::destroyed()
{
    stopFollowing();
}

void OvControlWidget::resetUi()
{
    if (!m_item)
        return;
    // The search hides the current item: the buttons would act on a tile
    // nobody can see.
    const bool hidden = OvCGListModel::instance()->isHidden(m_item);
    if (m_item->status() == OvCgStatus::Sending) {
        // Frozen while the request is outstanding; the faces wait for the answer.
        if (hidden) {
            m_pgmButton->setEnabled(false);
            m_pvwButton->setEnabled(false);
            m_cancelButton->setEnabled(false);
        }
        return;
    }
    const int status = m_item->status();
    m_pgmButton->setEnabled(!hidden && status != OvCgStatus::OnPgm);
    m_pvwButton->setEnabled(!hidden && status != OvCgStatus::OnPvw);
    m_cancelButton->setEnabled(!hidden && OvCgStatus::isOnAir(status));
    // The lit faces (a repolish each) follow once per turn of the event loop:
    // a burst of changes to the current item costs one.
    m_lit.request();
}

void OvControlWidget::showLit()
{
    if (!m_item || m_item->status() == OvCgStatus::Sending)
        return;
    const int status = m_item->status();
    // The lit face tells which output the item is on.
    setLit(m_pgmButton, status == OvCgStatus::OnPgm);
    setLit(m_pvwButton, status == OvCgStatus::OnPvw);
    setLit(m_cancelButton, false);
}

void OvControlWidget::onSendPgm()
{
    if (m_item)
        OvCGListModel::instance()->sendPgm();
}

void OvControlWidget::onSendPvw()
{
    if (m_item)
        OvCGListModel::instance()->sendPvw();
}

void OvControlWidget::onCancelPublish()
{
    if (m_item)
        OvCGListModel::instance()->cancelPublish();
}
