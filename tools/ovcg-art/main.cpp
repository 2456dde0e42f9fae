// Renders the console's SVG artwork to the PNG files the program loads by name.
//   ovcg-art SOURCE.svg TARGET.png [SCALE]   (SCALE 2 writes TARGET@2x.png as well)
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

namespace {

bool render(const QString& source, const QString& target, int scale)
{
    QImageReader reader(source, "svg");
    const QSize size = reader.size();
    if (!size.isValid())
        return false;
    reader.setScaledSize(size * scale);
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QImage drawn = reader.read();
    if (drawn.isNull())
        return false;
    QPainter(&image).drawImage(0, 0, drawn);
    return image.save(target, "PNG");
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() < 3) {
        err << "usage: ovcg-art SOURCE.svg TARGET.png [SCALE]\n";
        return 2;
    }
    const int scale = args.size() > 3 ? args.at(3).toInt() : 1;
    if (!render(args.at(1), args.at(2), 1)) {
        err << "ovcg-art: cannot render " << args.at(1) << "\n";
        return 1;
    }
    if (scale > 1) {
        QString twice = args.at(2);
        twice.insert(twice.lastIndexOf(QLatin1Char('.')), QStringLiteral("@%1x").arg(scale));
        if (!render(args.at(1), twice, scale)) {
            err << "ovcg-art: cannot render " << args.at(1) << " at " << scale << "x\n";
            return 1;
        }
    }
    return 0;
}
