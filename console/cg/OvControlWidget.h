#pragma once

#include "cg/OvTurnEnd.h"

#include <QFrame>

class OvGrayButton;
class OvSearchFilter;
class OvSubCGItem;
class OvTakeCommand;

// The publish buttons (PGM, PVW, cancel) for the model's current item, enabled
// by that item's status and frozen while this console's request is outstanding.
class OvControlWidget : public QFrame
{
    Q_OBJECT
public:
    OvControlWidget(OvTakeCommand* takes, const OvSearchFilter* filter, QWidget* parent = nullptr);
    ~OvControlWidget() override;

    OvGrayButton* pgmButton() const { return m_pgmButton; }
    OvGrayButton* pvwButton() const { return m_pvwButton; }
    OvGrayButton* cancelButton() const { return m_cancelButton; }
    OvSubCGItem* followedItem() const { return m_item; }

signals:
    void login(bool checked);

private slots:
    void resetUi();
    void destroyed();
    void onSendPgm();
    void onSendPvw();
    void onCancelPublish();

private:
    void onCurrentCgChanged(OvSubCGItem* newCG);
    void showLit();
    void stopFollowing();
    void setAllEnabled(bool enabled);

    OvTakeCommand* m_takes;
    const OvSearchFilter* m_filter;
    OvGrayButton* m_pgmButton = nullptr;
    OvGrayButton* m_pvwButton = nullptr;
    OvGrayButton* m_cancelButton = nullptr;
    OvSubCGItem* m_item = nullptr;
    OvTurnEnd m_lit{this, [this] { showLit(); }};
};
