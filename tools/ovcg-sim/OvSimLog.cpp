#include "OvSimLog.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {

QFile& logFile()
{
    static QFile file;
    return file;
}

QJsonValue shorten(const QJsonValue& value)
{
    constexpr int kMaxString = 64;
    constexpr int kMaxArray = 4;
    if (value.isString()) {
        const QString text = value.toString();
        if (text.size() > kMaxString)
            return QStringLiteral("<%1 chars>").arg(text.size());
        return value;
    }
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        QJsonArray out;
        for (int i = 0; i < array.size() && i < kMaxArray; ++i)
            out.append(shorten(array.at(i)));
        if (array.size() > kMaxArray)
            out.append(QStringLiteral("... %1 elements in all").arg(array.size()));
        return out;
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QJsonObject out;
        for (auto it = object.begin(); it != object.end(); ++it)
            out.insert(it.key(), shorten(it.value()));
        return out;
    }
    return value;
}

}  // namespace

bool OvSimLog::openFile(const QString& path)
{
    QFile& file = logFile();
    if (file.isOpen())
        file.close();
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void OvSimLog::line(const QString& text)
{
    const QByteArray bytes = (QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz "))
                              + text + QLatin1Char('\n'))
                                 .toUtf8();
    QFile& file = logFile();
    if (file.isOpen()) {
        file.write(bytes);
        file.flush();
        return;
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString OvSimLog::summarise(const QJsonObject& message)
{
    return QString::fromUtf8(
        QJsonDocument(shorten(message).toObject()).toJson(QJsonDocument::Compact));
}
