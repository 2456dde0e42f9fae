#include "OvUIUtility/NullPictureHandlePolicy.h"

NullPictureHandlePolicy::~NullPictureHandlePolicy() = default;

void NullPictureHandlePolicy::handle(QPixmap& /*pixmap*/) {}
