#pragma once

#include "cg/cgItemData.h"
#include "cg/operatorInfo.h"

#include <QObject>

// One CG item of the catalogue. Only the list model creates and ends these
// (with deleteLater); everyone else holds plain pointers and watches destroyed().
class OvSubCGItem : public QObject
{
    Q_OBJECT
public:
    // Kinds of change carried by updateData and the model's SingalCGUpdate.
    enum UpdateType {
        StatusUpdate = 1,
        NameUpdate = 2,
        ImageUpdate = 3,
        CheckedUpdate = 50,
    };

    OvSubCGItem();
    explicit OvSubCGItem(const cgItemData& data);
    ~OvSubCGItem() override;

    QString guid() const;
    int status() const;
    QString name() const;
    QPixmap image() const;
    bool isChecked() const;
    QString oldName() const;
    cgItemData data() const;
    // How long the server took to confirm this console's last take of the
    // item, in ms; -1 before the first, Unconfirmed when the last one went
    // unanswered and was given up.
    static constexpr int Unconfirmed = -2;
    int confirmedInMs() const { return m_confirmedMs; }

    void setStatus(int status, const operatorInfo& info);
    void setName(const QString& name, const operatorInfo& info);
    // A picture that does not fit the model's image budget is dropped (the
    // item shows none); the change is signalled either way.
    void setImage(const QPixmap& image, const operatorInfo& info);
    // Decoded scaled down to thumbnail size, and not at all when over budget.
    void setImageBase64(const QString& base64, const operatorInfo& info);
    void setChecked(bool checked);

signals:
    void updateData(int updateType, operatorInfo info);

private:
    // The model keeps its index and picture budget on the item's data.
    friend class OvCGListModel;

    cgItemData m_data;
    int m_previousStatus = 0;  // before the last setStatus
    // Neighbours in the model's chain of items with the same guid.
    OvSubCGItem* m_guidPrev = nullptr;
    OvSubCGItem* m_guidNext = nullptr;
    // Position in the model's list; trusted only below the model's mark.
    int m_position = -1;
    QString m_oldName;
    bool m_checked = false;
    int m_confirmedMs = -1;
};
