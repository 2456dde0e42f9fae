// Draws the widget kit's artwork: the scene-tree node icons (plain and
// selected), the fallback node icon and the picture masks. The build runs it
// to place the files under <program folder>/Resources/.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>
#include <functional>

namespace {

constexpr int iconSize = 24;
const QColor plainInk(0xb4, 0xbc, 0xc8);
const QColor selectedInk(0xff, 0x8a, 0x3a);

using Glyph = std::function<void(QPainter&, const QColor&)>;

QPen outline(const QColor& ink, qreal width = 1.6)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QColor faded(QColor ink, int alpha)
{
    ink.setAlpha(alpha);
    return ink;
}

void root(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 6 + i * 5;
        const QPolygonF layer({QPointF(12, y - 3), QPointF(21, y + 1), QPointF(12, y + 5), QPointF(3, y + 1)});
        p.setBrush(faded(ink, i == 0 ? 140 : 50));
        p.drawPolygon(layer);
    }
}

void camera(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 70));
    p.drawRoundedRect(QRectF(2.5, 7.5, 13, 10), 2, 2);
    p.drawPolygon(QPolygonF({QPointF(15.5, 11), QPointF(21.5, 7.5), QPointF(21.5, 17.5), QPointF(15.5, 14)}));
    p.setBrush(ink);
    p.drawEllipse(QPointF(6.5, 11), 1.4, 1.4);
}

void plane(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 80));
    p.drawPolygon(QPolygonF({QPointF(2.5, 17.5), QPointF(8.5, 7.5), QPointF(21.5, 7.5), QPointF(15.5, 17.5)}));
    p.setPen(outline(faded(ink, 150), 1.0));
    p.drawLine(QPointF(5.5, 12.5), QPointF(18.5, 12.5));
    p.drawLine(QPointF(12, 7.5), QPointF(9, 17.5));
}

void screen(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 60));
    p.drawRoundedRect(QRectF(2.5, 4.5, 19, 12), 1.5, 1.5);
    p.drawLine(QPointF(12, 16.5), QPointF(12, 19.5));
    p.drawLine(QPointF(7.5, 20), QPointF(16.5, 20));
}

void model(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 60));
    const QPointF top(12, 2.5), c(12, 11.5);
    p.drawPolygon(QPolygonF({top, QPointF(20.5, 7), QPointF(20.5, 17), QPointF(12, 21.5), QPointF(3.5, 17),
                             QPointF(3.5, 7)}));
    p.setBrush(faded(ink, 140));
    p.drawPolygon(QPolygonF({top, QPointF(20.5, 7), c, QPointF(3.5, 7)}));
    p.drawLine(c, QPointF(12, 21.5));
}

void material(QPainter& p, const QColor& ink)
{
    QRadialGradient shade(QPointF(9, 9), 12);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(0.35, ink);
    shade.setColorAt(1, faded(ink.darker(220), 255));
    p.setPen(outline(ink, 1.0));
    p.setBrush(shade);
    p.drawEllipse(QPointF(12, 12), 9, 9);
}

void lightSource(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 170));
    p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(QPointF(12 + 7 * std::cos(a), 12 + 7 * std::sin(a)),
                   QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a)));
    }
}

void person(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 110));
    p.drawEllipse(QPointF(12, 7.5), 4, 4);
    QPainterPath body;
    body.moveTo(3.5, 21.5);
    body.cubicTo(3.5, 13.5, 20.5, 13.5, 20.5, 21.5);
    body.closeSubpath();
    p.drawPath(body);
}

void thing(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 60));
    QPainterPath body;
    body.moveTo(5, 6.5);
    body.lineTo(5, 17.5);
    body.arcTo(QRectF(5, 14.5, 14, 6), 180, 180);
    body.lineTo(19, 6.5);
    p.drawPath(body);
    p.setBrush(faded(ink, 150));
    p.drawEllipse(QRectF(5, 3.5, 14, 6));
}

void panorama(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 50));
    QPainterPath band;
    band.moveTo(1.5, 6.5);
    band.quadTo(12, 9.5, 22.5, 6.5);
    band.lineTo(22.5, 18.5);
    band.quadTo(12, 15.5, 1.5, 18.5);
    band.closeSubpath();
    p.drawPath(band);
    p.setBrush(faded(ink, 170));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({QPointF(4, 16.5), QPointF(9, 11), QPointF(12.5, 14.5), QPointF(15.5, 12),
                             QPointF(20, 16.5), QPointF(12, 15)}));
}

// The icon for a node of unknown kind: a studio clapperboard.
void studio(QPainter& p, const QColor& ink)
{
    p.setPen(outline(ink));
    p.setBrush(faded(ink, 60));
    p.drawRect(QRectF(3.5, 10.5, 17, 10));
    p.setBrush(faded(ink, 160));
    p.drawPolygon(QPolygonF({QPointF(3.5, 10.5), QPointF(3, 6), QPointF(19.5, 3), QPointF(20.5, 7.5)}));
    p.setPen(outline(QColor(0x1e, 0x22, 0x28), 1.4));
    for (const qreal x : {7.5, 11.5, 15.5})
        p.drawLine(QPointF(x, 5.8 - (x - 7.5) * 0.18), QPointF(x + 1.6, 9.4 - (x - 7.5) * 0.18));
}

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    QTextStream(stderr) << "ovartwork: cannot write " << path << '\n';
    return false;
}

bool drawIcon(const QString& path, const Glyph& glyph, const QColor& ink)
{
    QImage image(iconSize, iconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    glyph(painter, ink);
    painter.end();
    return save(image, path);
}

// A mask is opaque where the picture is to be cut away.
bool drawMask(const QString& path, int size, qreal cornerRadius)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(0, 0, size, size), cornerRadius, cornerRadius);
    painter.end();
    return save(image, path);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        QTextStream(stderr) << "usage: ovartwork PROGRAM_FOLDER\n";
        return 2;
    }
    const QDir base(QString::fromLocal8Bit(argv[1]));
    const QString resources = base.filePath(QStringLiteral("Resources"));
    if (!QDir().mkpath(resources + QStringLiteral("/treewidget")) || !QDir().mkpath(resources + QStringLiteral("/mask")))
        return 1;

    const std::pair<const char*, Glyph> kinds[] = {
        {"camera", camera}, {"plane", plane},     {"screen", screen}, {"model", model},       {"material", material},
        {"lightSource", lightSource}, {"person", person}, {"thing", thing}, {"panorama", panorama},
    };
    bool ok = drawIcon(resources + QStringLiteral("/treewidget/root.png"), root, plainInk);
    for (const auto& kind : kinds) {
        const QString stem = resources + QStringLiteral("/treewidget/") + QLatin1String(kind.first);
        ok = drawIcon(stem + QStringLiteral(".png"), kind.second, plainInk) && ok;
        ok = drawIcon(stem + QStringLiteral("_selected.png"), kind.second, selectedInk) && ok;
    }
    ok = drawIcon(resources + QStringLiteral("/studio4626.png"), studio, plainInk) && ok;
    for (const int size : {64, 96}) {
        ok = drawMask(resources + QStringLiteral("/mask/round_%1.png").arg(size), size, size / 2.0) && ok;
        ok = drawMask(resources + QStringLiteral("/mask/rounded_%1.png").arg(size), size, size / 6.0) && ok;
    }
    return ok ? 0 : 1;
}
