#include "OvUIUtility/PictureLabel.h"

#include "OvUIUtility/MakeMaskPictureHandlePolicy.h"
#include "OvUIUtility/MakeMaskPictureWithLine.h"
#include "OvUIUtility/MakeRoundPictureHandlePolicy.h"
#include "OvUIUtility/NullPictureHandlePolicy.h"

#include <QBitmap>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

PictureLabel::PictureLabel(QWidget* parent) : PictureLabel(QStringLiteral("PictureLabel"), parent) {}

PictureLabel::PictureLabel(const QString& name, QWidget* parent)
    : OvLabel(name, parent), m_policy(std::make_unique<NullPictureHandlePolicy>())
{
    initUI();
}

PictureLabel::~PictureLabel() = default;

void PictureLabel::initUI()
{
    setScaledContents(true);
}

QSize PictureLabel::setPicturePath(const QString& path)
{
    QPixmap pixmap = toPixmap(path);
    m_policy->handle(pixmap);
    setPixmap(pixmap);
    return pixmap.size();
}

void PictureLabel::setRoundMode(int radius, const QString& maskPath)
{
    m_policy = std::make_unique<MakeRoundPictureHandlePolicy>(QSize(2 * radius, 2 * radius), maskPath);
}

bool PictureLabel::makeRound(const QSize& size, const QString& maskPath)
{
    m_policy = std::make_unique<MakeMaskPictureHandlePolicy>(size, maskPath);
    return true;
}

void PictureLabel::makeRoundWithLine(const QSize& size, const QString& maskPath)
{
    m_policy = std::make_unique<MakeMaskPictureWithLine>(size, maskPath);
}

bool PictureLabel::makeRound(int radius)
{
    const QRect r = rect();
    // A bitmap of no size cannot be painted; a negative radius is no rounding.
    if (radius < 0 || r.isEmpty() || 2 * radius > qMin(r.width(), r.height()))
        return false;
    QBitmap bitmap(r.size());
    QPainter painter(&bitmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.fillRect(r, Qt::white);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    painter.drawRoundedRect(r, radius, radius, Qt::AbsoluteSize);
    painter.end();
    setMask(bitmap);
    return true;
}

const PictureHandlePolicy* PictureLabel::policy() const
{
    return m_policy.get();
}

QString PictureLabel::detectedFormat(const QString& path)
{
    QString format;
    ImageFormate(path, format);
    return format;
}

QPixmap PictureLabel::toPixmap(const QString& path)
{
    QString format;
    ImageFormate(path, format);
    const QByteArray fmt = format.toLatin1();
    return QPixmap(path, fmt.isEmpty() ? nullptr : fmt.constData(), Qt::AutoColor);
}

void PictureLabel::ImageFormate(const QString& path, QString& format)
{
    format = QFileInfo(path).suffix();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    static const QByteArray png("\x89PNG\r\n\x1a\n", 8);
    static const QByteArray jpeg("\xff\xd8", 2);
    const QByteArray head = file.read(8);
    if (head == png)
        format = QStringLiteral("png");
    else if (head.startsWith(jpeg))
        format = QStringLiteral("jpg");
}
