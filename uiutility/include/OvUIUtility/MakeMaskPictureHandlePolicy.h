#pragma once

#include "PictureHandlePolicy.h"

#include <QString>

// Cuts the picture (scaled to size) by a mask image: opaque mask pixels erase
// the picture, so the cut parts stay transparent.
class OVUIUTILITY_EXPORT MakeMaskPictureHandlePolicy : public PictureHandlePolicy
{
public:
    // maskPath is loaded with QPixmap(path); a path that does not load cuts nothing.
    MakeMaskPictureHandlePolicy(const QSize& size, const QString& maskPath);
    ~MakeMaskPictureHandlePolicy() override;
    void handle(QPixmap& pixmap) override;

    QSize size() const { return m_size; }

private:
    QSize m_size;
    QPixmap m_mask;
};
