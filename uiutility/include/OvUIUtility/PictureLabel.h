#pragma once

#include "OvLabel.h"

#include <memory>

class PictureHandlePolicy;

// A label that shows an image file, detecting PNG and JPEG by their first bytes
// (other formats by suffix), shaped by the current policy (none, mask cut-out,
// round, or bordered). The shown pixmap always fills the label.
class OVUIUTILITY_EXPORT PictureLabel : public OvLabel
{
    Q_OBJECT
public:
    explicit PictureLabel(QWidget* parent = nullptr);
    PictureLabel(const QString& name, QWidget* parent);
    ~PictureLabel() override;

    // Loads, shapes and shows the file; returns the size of the shown pixmap,
    // (0, 0) for an unreadable file under the plain policy.
    QSize setPicturePath(const QString& path);

    // These replace the policy for the next setPicturePath, not the picture shown.
    // Round cut-out of 2 x radius square with a white backing.
    void setRoundMode(int radius, const QString& maskPath);
    // Plain mask cut-out of the given size; always true.
    bool makeRound(const QSize& size, const QString& maskPath);
    // Mask cut-out with a grey rounded border.
    void makeRoundWithLine(const QSize& size, const QString& maskPath);

    // Rounds the widget itself with a window mask fixed to its current size;
    // false and no change when 2 x radius exceeds the smaller side (or the
    // label has no size yet, or radius is negative).
    bool makeRound(int radius);

    const PictureHandlePolicy* policy() const;

    // The format setPicturePath uses for a file: "png" or "jpg" by signature,
    // else the file's suffix as it is.
    static QString detectedFormat(const QString& path);

private:
    QPixmap toPixmap(const QString& path);
    static void ImageFormate(const QString& path, QString& format);
    void initUI();

    std::unique_ptr<PictureHandlePolicy> m_policy;
};
