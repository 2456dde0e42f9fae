// The widget kit's picture and timeline costs: showing a 1920x1080 picture
// under each shaping policy (PNG and JPEG), the signature check alone, and
// painting the time scale with few and many signs. Pictures are measured as
// first shown (QPixmap's file cache cleared each time). Prints figures; never fails.

#include <OvUIUtility/OvScaleWidget.h>
#include <OvUIUtility/PictureLabel.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Median of runs, in microseconds.
double medianUs(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString writePicture(const QTemporaryDir& dir, const char* name, const char* format)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient ramp(0, 0, 1920, 1080);
    ramp.setColorAt(0, QColor(40, 90, 160));
    ramp.setColorAt(1, QColor(240, 170, 80));
    painter.fillRect(image.rect(), ramp);
    painter.end();
    const QString path = dir.filePath(QLatin1String(name));
    image.save(path, format);
    return path;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QImage mask(64, 64, QImage::Format_ARGB32);
    mask.fill(Qt::transparent);
    mask.save(dir.filePath(QStringLiteral("mask.png")));
    const QString maskPath = dir.filePath(QStringLiteral("mask.png"));

    std::printf("%-34s %12s\n", "case", "median us");
    for (const auto& file : {std::make_pair("picture.png", "PNG"), std::make_pair("picture.jpg", "JPEG")}) {
        const QString path = writePicture(dir, file.first, file.second);
        std::printf("%-34s %12.1f\n", qPrintable(QStringLiteral("detect format, %1").arg(QLatin1String(file.second))),
                    medianUs(200, [&path]() { PictureLabel::detectedFormat(path); }));
        const std::pair<const char*, std::function<void(PictureLabel&)>> policies[] = {
            {"none", [](PictureLabel&) {}},
            {"mask 64", [&maskPath](PictureLabel& l) { l.makeRound(QSize(64, 64), maskPath); }},
            {"round 64", [&maskPath](PictureLabel& l) { l.setRoundMode(32, maskPath); }},
            {"line 64", [&maskPath](PictureLabel& l) { l.makeRoundWithLine(QSize(64, 64), maskPath); }},
        };
        for (const auto& policy : policies) {
            PictureLabel label;
            policy.second(label);
            // QPixmap keeps loaded files in QPixmapCache: measure the first showing.
            const double us = medianUs(15, [&label, &path]() {
                QPixmapCache::clear();
                label.setPicturePath(path);
            });
            std::printf("%-34s %12.1f\n",
                        qPrintable(QStringLiteral("show %1, %2").arg(QLatin1String(file.second), QLatin1String(policy.first))),
                        us);
        }
    }

    for (const int count : {4, 100}) {
        OvScaleWidget scale(QwtScaleDraw::TopScale);
        scale.resize(1200, 41);
        QList<int> signs;
        for (int i = 0; i < count; ++i)
            signs.append(i * 100 / count);
        scale.setSigns(signs);
        QImage target(scale.size(), QImage::Format_ARGB32_Premultiplied);
        const double us = medianUs(200, [&scale, &target]() {
            scale.startPlay();
            scale.render(&target);
        });
        std::printf("%-34s %12.1f\n", qPrintable(QStringLiteral("scale tick + paint, %1 signs").arg(count)), us);
    }
    return 0;
}
