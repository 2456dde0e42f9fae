#pragma once

#include "ovuiutility_global.h"

#include <QPixmap>
#include <QSize>

#include <functional>

class QPainter;
class QRect;

// A shaping step a PictureLabel runs on every picture before showing it.
// handle() rewrites the pixmap in place.
class OVUIUTILITY_EXPORT PictureHandlePolicy
{
public:
    virtual ~PictureHandlePolicy();
    virtual void handle(QPixmap& pixmap) = 0;

protected:
    PictureHandlePolicy() = default;
    PictureHandlePolicy(const PictureHandlePolicy&) = default;
    PictureHandlePolicy& operator=(const PictureHandlePolicy&) = default;

    // The common cut-out: the picture scaled to size (aspect ignored), erased
    // wherever the mask is opaque, then `behind` paints under what remains.
    // An empty size gives a null pixmap; a null mask erases nothing.
    static void cutOut(QPixmap& pixmap, const QSize& size, const QPixmap& mask,
                       const std::function<void(QPainter&, const QRect&)>& behind);
};
