#include "cg/OvControlWidget.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "shortcut/OvKeyMap.h"

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

OvControlWidget::OvControlWidget(OvTakeCommand* takes, const OvSearchFilter* filter, QWidget* parent)
    : QFrame(parent), m_takes(takes), m_filter(filter)
{
    setObjectName(QStringLiteral("OvControlWidget"));
    const OvKeyMap& keys = OvKeyMap::current();

    m_pgmButton = makeButton(this, QStringLiteral("OvControlWidget_pgm"), QStringLiteral("PGM"),
                             tr("发布到PGM（%1）").arg(keys.keyText(OvKeyMap::Pgm)));
    connect(m_pgmButton, &QPushButton::clicked, this, &OvControlWidget::onSendPgm);
    m_pvwButton = makeButton(this, QStringLiteral("OvControlWidget_pvw"), QStringLiteral("PVW"),
                             tr("发布到PVW（%1）").arg(keys.keyText(OvKeyMap::Pvw)));
    connect(m_pvwButton, &QPushButton::clicked, this, &OvControlWidget::onSendPvw);
    m_cancelButton = makeButton(this, QStringLiteral("OvControlWidget_cancel"), tr("取消"),
                                tr("取消发布（%1）").arg(keys.keyText(OvKeyMap::Cancel)));
    connect(m_cancelButton, &QPushButton::clicked, this, &OvControlWidget::onCancelPublish);

    auto* layout = new HNsNmLayout(nullptr);
    layout->addWidget(m_pgmButton);
    layout->addWidget(m_pvwButton);
    layout->addWidget(m_cancelButton);
    setLayout(layout);

    connect(OvCGListModel::instance(), &OvCGListModel::SignalCurrentCGChanged, this,
            &OvControlWidget::onCurrentCgChanged);
    connect(filter, &OvSearchFilter::changed, this, &OvControlWidget::resetUi);
    connect(takes, &OvTakeCommand::lockedChanged, this, [this](bool locked) {
        if (m_item)
            resetUi();
        else
            setAllEnabled(!locked);
    });
}

void OvControlWidget::setAllEnabled(bool enabled)
{
    m_pgmButton->setEnabled(enabled);
    m_pvwButton->setEnabled(enabled);
    m_cancelButton->setEnabled(enabled);
}

OvControlWidget::~OvControlWidget() = default;

void OvControlWidget::stopFollowing()
{
    if (!m_item)
        return;
    setAllEnabled(!m_takes->isLocked());
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
    // Locked, or the search hides the current item (the buttons would act on
    // a tile nobody can see): nothing to press.
    const bool blocked = m_takes->isLocked() || m_filter->hides(m_item);
    if (m_item->status() == OvCgStatus::Sending) {
        // Frozen while the request is outstanding; the faces wait for the answer.
        if (blocked)
            setAllEnabled(false);
        return;
    }
    const int status = m_item->status();
    m_pgmButton->setEnabled(!blocked && status != OvCgStatus::OnPgm);
    m_pvwButton->setEnabled(!blocked && status != OvCgStatus::OnPvw);
    m_cancelButton->setEnabled(!blocked && OvCgStatus::isOnAir(status));
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
        m_takes->take(OvTakeCommand::ControlBar, OvCgStatus::OnPgm);
}

void OvControlWidget::onSendPvw()
{
    if (m_item)
        m_takes->take(OvTakeCommand::ControlBar, OvCgStatus::OnPvw);
}

void OvControlWidget::onCancelPublish()
{
    if (m_item)
        m_takes->take(OvTakeCommand::ControlBar, OvCgStatus::Idle);
}
