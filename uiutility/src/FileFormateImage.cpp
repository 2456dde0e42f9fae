#include "OvUIUtility/FileFormateImage.h"

#include <QCoreApplication>

FileFormateImage& FileFormateImage::instance()
{
    static FileFormateImage table;
    return table;
}

QStringList FileFormateImage::nodeKinds()
{
    return {QStringLiteral("root"),       QStringLiteral("camera"),         QStringLiteral("camera_selected"),
            QStringLiteral("plane"),      QStringLiteral("plane_selected"), QStringLiteral("screen"),
            QStringLiteral("screen_selected"), QStringLiteral("model"),     QStringLiteral("model_selected"),
            QStringLiteral("material"),   QStringLiteral("material_selected"), QStringLiteral("lightSource"),
            QStringLiteral("lightSource_selected"), QStringLiteral("person"), QStringLiteral("person_selected"),
            QStringLiteral("thing"),      QStringLiteral("thing_selected"), QStringLiteral("panorama"),
            QStringLiteral("panorama_selected")};
}

FileFormateImage::FileFormateImage()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& kind : nodeKinds()) {
        const QString path = QStringLiteral("%1/Resources/treewidget/%2.png").arg(dir, kind);
        m_images.emplace(kind, std::make_pair(QIcon(path), path));
    }
}

FileFormateImage::~FileFormateImage() = default;

QIcon FileFormateImage::imageResource(const QString& key) const
{
    return _imageResource(key).first;
}

QString FileFormateImage::imageResourceName(const QString& key) const
{
    return _imageResource(key).second;
}

const std::pair<QIcon, QString>& FileFormateImage::_imageResource(const QString& key) const
{
    const auto it = m_images.find(key);
    if (it != m_images.end())
        return it->second;
    static const std::pair<QIcon, QString> fallback = [] {
        const QString path = QStringLiteral("%1/Resources/studio4626.png").arg(QCoreApplication::applicationDirPath());
        return std::make_pair(QIcon(path), path);
    }();
    return fallback;
}
