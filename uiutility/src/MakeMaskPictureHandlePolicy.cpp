#include "OvUIUtility/MakeMaskPictureHandlePolicy.h"

MakeMaskPictureHandlePolicy::MakeMaskPictureHandlePolicy(const QSize& size, const QString& maskPath)
    : m_size(size), m_mask(maskPath)
{
}

MakeMaskPictureHandlePolicy::~MakeMaskPictureHandlePolicy() = default;

void MakeMaskPictureHandlePolicy::handle(QPixmap& pixmap)
{
    cutOut(pixmap, m_size, m_mask, {});
}
