#pragma once

#include "ovuiutility_global.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <map>
#include <utility>

// The process-wide table of scene-tree node icons: node kind ("camera",
// "camera_selected", ...; case matters) to icon and file path. The files live in
// Resources/treewidget/ beside the program; unknown kinds get
// Resources/studio4626.png. A missing file gives an empty icon, no error.
class OVUIUTILITY_EXPORT FileFormateImage
{
public:
    static FileFormateImage& instance();

    QIcon imageResource(const QString& key) const;
    QString imageResourceName(const QString& key) const;

    // The 19 node kinds of the table, in table order.
    static QStringList nodeKinds();

    FileFormateImage(const FileFormateImage&) = default;
    FileFormateImage& operator=(const FileFormateImage&) = default;

protected:
    FileFormateImage();
    ~FileFormateImage();

private:
    const std::pair<QIcon, QString>& _imageResource(const QString& key) const;

    std::map<QString, std::pair<QIcon, QString>> m_images;
};
