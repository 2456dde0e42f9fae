#pragma once

#include "PictureHandlePolicy.h"

// Shows the picture as it is; every new PictureLabel starts with it.
class OVUIUTILITY_EXPORT NullPictureHandlePolicy : public PictureHandlePolicy
{
public:
    NullPictureHandlePolicy() = default;
    ~NullPictureHandlePolicy() override;
    void handle(QPixmap& pixmap) override;
};
