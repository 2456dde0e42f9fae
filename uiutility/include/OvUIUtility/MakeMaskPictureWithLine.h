#pragma once

#include "PictureHandlePolicy.h"

#include <QString>

// Mask cut-out with a light grey (#d7d7d7) rounded border, radius 10 px,
// drawn behind the picture: the border shows where the picture is transparent.
class OVUIUTILITY_EXPORT MakeMaskPictureWithLine : public PictureHandlePolicy
{
public:
    // maskPath is loaded with QPixmap(path); a path that does not load cuts nothing.
    MakeMaskPictureWithLine(const QSize& size, const QString& maskPath);
    ~MakeMaskPictureWithLine() override;
    void handle(QPixmap& pixmap) override;

    QSize size() const { return m_size; }

private:
    QSize m_size;
    QPixmap m_mask;
};
