// Loading a server's CG list into the model: 1,000 and 10,000 items with
// 160x90 PNG thumbnails in base64, as the transfer client hands them over,
// against decoding the same PNGs alone. Every measurement runs in a child
// process of its own so that peak memory figures do not mix.
//
// Usage: bench_cglist            (runs every case, prints a table)
//        bench_cglist MODE COUNT (one case; MODE is decode, sync or setimage)

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "OvBenchSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>
#include <ctime>
#include <vector>

using OvBench::cpuMs;
using OvBench::resetPeak;
using OvBench::statusKb;

namespace {

// A lower-third-like thumbnail: dark background, a noisy coloured bar, a caption.
QByteArray makePng(int seed)
{
    QImage image(160, 90, QImage::Format_RGB32);
    QRandomGenerator rng(quint32(seed) + 1);
    image.fill(QColor(20, 20, 30));
    QPainter painter(&image);
    QLinearGradient gradient(0, 55, 160, 80);
    gradient.setColorAt(0, QColor::fromHsv(seed * 37 % 360, 200, 220));
    gradient.setColorAt(1, QColor::fromHsv(seed * 91 % 360, 160, 120));
    painter.fillRect(8, 55, 144, 26, gradient);
    painter.setPen(Qt::white);
    painter.drawText(QRect(12, 57, 140, 22), Qt::AlignVCenter, QStringLiteral("CG item %1").arg(seed));
    painter.end();
    for (int y = 55; y < 81; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 8; x < 152; x += 2)
            row[x] ^= rng.bounded(8u) * 0x010101u;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

struct Input
{
    QList<cgItemData> records;  // without pictures
    std::vector<QString> images; // base64 text, one separate string per item
    qint64 pngBytes = 0;
};

Input makeInput(int count)
{
    constexpr int distinct = 256;
    std::vector<QByteArray> base64;
    for (int i = 0; i < distinct; ++i)
        base64.push_back(makePng(i).toBase64());
    Input input;
    input.records.reserve(count);
    input.images.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        cgItemData data;
        data.guid = QUuid::createUuid();
        data.name = QStringLiteral("CG item %1").arg(i);
        data.status = i % 3;
        input.records.append(data);
        // A separate copy per item, as a parsed JSON document holds them.
        const QByteArray& bytes = base64[size_t(i % distinct)];
        input.images.push_back(QString::fromLatin1(bytes.constData(), bytes.size()));
        input.pngBytes += bytes.size() * 3 / 4;
    }
    return input;
}

int runCase(const QString& mode, int count)
{
    // The real program builds the hub (and with it the model) before any list arrives.
    OvCGMessage::instance();
    OvCGListModel* model = OvCGListModel::instance();
    int signalCount = 0;
    QObject::connect(model, &OvCGListModel::SingalCGInserted, [&signalCount] { ++signalCount; });
    QObject::connect(model, &OvCGListModel::SingalCGUpdate, [&signalCount] { ++signalCount; });

    Input input = makeInput(count);
    const long baseKb = statusKb("VmRSS");
    resetPeak();
    const double cpuStart = cpuMs();
    QElapsedTimer timer;
    timer.start();
    qint64 firstMs = 0;
    qint64 secondMs = 0;

    if (mode == QLatin1String("decode")) {
        // The pictures alone, kept as the model would keep them.
        std::vector<QPixmap> pixmaps;
        pixmaps.reserve(size_t(count));
        for (const QString& text : input.images)
            pixmaps.push_back(cgItemData::imageFromBase64(text));
        firstMs = timer.elapsed();
    } else if (mode == QLatin1String("sync")) {
        // What a syncCGList answer does: decode into records, then reset.
        QList<cgItemData> list = input.records;
        for (int i = 0; i < count; ++i)
            list[i].image = cgItemData::imageFromBase64(input.images[size_t(i)]);
        firstMs = timer.elapsed();
        model->resetCgList(list);
        secondMs = timer.elapsed() - firstMs;
    } else if (mode == QLatin1String("setimage")) {
        // Records first, then every picture through the item, as notifications would.
        model->resetCgList(input.records);
        firstMs = timer.elapsed();
        const QList<OvSubCGItem*> items = model->cgList();
        for (int i = 0; i < count; ++i)
            items[i]->setImageBase64(input.images[size_t(i)], localOperatorInfo());
        secondMs = timer.elapsed() - firstMs;
    } else {
        std::fprintf(stderr, "unknown mode\n");
        return 2;
    }
    const qint64 totalMs = timer.elapsed();
    const double cpuTotal = cpuMs() - cpuStart;
    const long peakKb = statusKb("VmHWM");

    // Replacing a full list: removal of every item plus the deferred deletions.
    QElapsedTimer reload;
    reload.start();
    model->resetCgList(input.records);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const qint64 reloadMs = reload.elapsed();

    std::printf("%s %d %lld %lld %lld %ld %ld %lld %d %lld %.0f\n", qPrintable(mode), count,
                static_cast<long long>(totalMs), static_cast<long long>(firstMs),
                static_cast<long long>(secondMs), peakKb - baseKb, baseKb,
                static_cast<long long>(input.pngBytes / count), signalCount, static_cast<long long>(reloadMs), cpuTotal);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3)
        return runCase(args.at(1), args.at(2).toInt());

    QTextStream out(stdout);
    out << "CG list load, 160x90 PNG thumbnails, one process per case\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
               .arg("case", -10)
               .arg("items", 6)
               .arg("total ms", 9)
               .arg("decode ms", 10)
               .arg("model ms", 9)
               .arg("peak +MB", 9)
               .arg("PNG B", 6)
               .arg("reload ms", 10)
               .arg("cpu ms", 7);
    out.flush();
    for (const int count : {1000, 10000}) {
        for (const char* mode : {"decode", "sync", "setimage"}) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(mode), QString::number(count)});
            if (!child.waitForFinished(600000) || child.exitCode() != 0) {
                out << mode << " " << count << ": failed\n";
                continue;
            }
            const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).simplified().split(' ');
            if (f.size() < 11)
                continue;
            const bool decodeOnly = f.at(0) == QLatin1String("decode");
            const bool viaItems = f.at(0) == QLatin1String("setimage");
            // For setimage the decoding happens inside the item calls (second figure).
            const QString decodeMs = viaItems ? QStringLiteral("(in model)") : f.at(3);
            const QString modelMs = decodeOnly ? QStringLiteral("-") : (viaItems ? f.at(3) + "+" + f.at(4) : f.at(4));
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                       .arg(f.at(0), -10)
                       .arg(f.at(1), 6)
                       .arg(f.at(2), 9)
                       .arg(decodeMs, 10)
                       .arg(modelMs, 9)
                       .arg(QString::number(f.at(5).toDouble() / 1024.0, 'f', 1), 9)
                       .arg(f.at(7), 6)
                       .arg(decodeOnly ? QStringLiteral("-") : f.at(9), 10)
                       .arg(f.at(10), 7);
            out.flush();
        }
    }
    out << "peak +MB: VmHWM during the case minus VmRSS before it (inputs already built).\n"
           "setimage model ms: list of records + the per-item setImageBase64 calls (decoding included).\n"
           "cpu ms: process CPU time of the case (total ms is wall time).\n"
           "reload ms: a second resetCgList over the full list, deferred deletions included.\n";
    return 0;
}
