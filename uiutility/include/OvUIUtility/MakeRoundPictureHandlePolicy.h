#pragma once

#include "PictureHandlePolicy.h"

#include <QString>

// Mask cut-out with a white disc behind it: transparent parts inside the
// inscribed circle show white, outside it they stay transparent (avatars).
class OVUIUTILITY_EXPORT MakeRoundPictureHandlePolicy : public PictureHandlePolicy
{
public:
    // maskPath is loaded with QPixmap(path); a path that does not load cuts nothing.
    MakeRoundPictureHandlePolicy(const QSize& size, const QString& maskPath);
    ~MakeRoundPictureHandlePolicy() override;
    void handle(QPixmap& pixmap) override;

    QSize size() const { return m_size; }

private:
    QSize m_size;
    QPixmap m_mask;
};
