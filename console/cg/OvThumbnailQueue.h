#pragma once

#include "cg/operatorInfo.h"

#include <QHash>
#include <QImage>
#include <QMap>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QThreadPool>

class OvSubCGItem;

// Decodes the server's thumbnails on worker threads while the GUI thread goes
// on; each picture is handed to the model when it is ready, in the order the
// pictures were asked for (so the image budget still goes front to back), and
// only if no later picture for the same item was asked for meanwhile.
class OvThumbnailQueue : public QObject
{
    Q_OBJECT
public:
    explicit OvThumbnailQueue(QObject* parent = nullptr);
    ~OvThumbnailQueue() override;

    // Decoded later; the model then sets the picture with info.
    void request(OvSubCGItem* item, const QString& base64, const operatorInfo& info);
    // The item has left the catalogue: nothing of it is applied any more.
    void forget(const OvSubCGItem* item);
    // The catalogue is gone: every decode asked for so far is dropped.
    void reset();
    // The application is ending: queued decodes are dropped, running ones
    // waited for, and nothing is decoded any more. QtGui's image readers go
    // with the application object; a decode after that would use them dead.
    void shutdown();
    // Decodes asked for and not yet applied or dropped.
    int pending() const { return m_latest.size(); }

signals:
    void ready(OvSubCGItem* item, QImage image, const operatorInfo& info);

private:
    struct Result
    {
        OvSubCGItem* item = nullptr;
        QImage image;
        operatorInfo info;
    };
    void finished(quint64 seq, QImage image);
    void applyInOrder();

    QThreadPool m_pool;
    bool m_shutDown = false;
    // Declared pixels being decoded at once: one picture of the largest
    // declared size runs alone, small thumbnails side by side.
    QSemaphore m_pixels;
    quint64 m_nextSeq = 1;
    quint64 m_nextApply = 1;
    QHash<const OvSubCGItem*, quint64> m_latest;
    QHash<quint64, Result> m_requests;  // asked for, by sequence
    QMap<quint64, Result> m_done;       // decoded, waiting for earlier ones
};
