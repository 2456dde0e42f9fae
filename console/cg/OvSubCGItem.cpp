#include "cg/OvSubCGItem.h"

#include "cg/OvCGListModel.h"
#include "cg/OvThumbnailDecoder.h"

OvSubCGItem::OvSubCGItem() : QObject(nullptr) {}

OvSubCGItem::OvSubCGItem(const cgItemData& data) : QObject(nullptr), m_data(data) {}

OvSubCGItem::~OvSubCGItem() = default;

QString OvSubCGItem::guid() const
{
    return m_data.guid.toString();
}

int OvSubCGItem::status() const
{
    return m_data.status;
}

QString OvSubCGItem::name() const
{
    return m_data.name;
}

QPixmap OvSubCGItem::image() const
{
    return m_data.image;
}

bool OvSubCGItem::isChecked() const
{
    return m_checked;
}

QString OvSubCGItem::oldName() const
{
    return m_oldName;
}

cgItemData OvSubCGItem::data() const
{
    return m_data;
}

void OvSubCGItem::setStatus(int status, const operatorInfo& info)
{
    // Signalled even when unchanged: the server's report ends a "sending" state
    // and listeners log every report.
    m_previousStatus = m_data.status;
    m_data.status = status;
    emit updateData(StatusUpdate, info);
}

void OvSubCGItem::setName(const QString& name, const operatorInfo& info)
{
    if (name == m_data.name)
        return;
    m_oldName = m_data.name;
    m_data.name = name;
    emit updateData(NameUpdate, info);
}

void OvSubCGItem::setImage(const QPixmap& image, const operatorInfo& info)
{
    const bool fits =
        OvThumbnailDecoder::costOf(image.size()) <= OvCGListModel::instance()->imageBytesFree(this);
    m_data.image = fits ? image : QPixmap();
    emit updateData(ImageUpdate, info);
}

void OvSubCGItem::setImageBase64(const QString& base64, const operatorInfo& info)
{
    QImage image = OvThumbnailDecoder::decode(base64, OvCGListModel::instance()->imageBytesFree(this));
    setImage(image.isNull() ? QPixmap() : QPixmap::fromImage(std::move(image)), info);
}

void OvSubCGItem::setChecked(bool checked)
{
    if (checked == m_checked)
        return;
    m_checked = checked;
    emit updateData(CheckedUpdate, localOperatorInfo());
}
