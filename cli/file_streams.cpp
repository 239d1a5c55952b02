#include "cli/file_streams.h"

#include <QSaveFile>

#include "platform/files.h"

namespace rzl::cli {

namespace {

std::string pathOf(const QString& path) { return path.toStdString(); }  // UTF-8, as the platform takes paths

QByteArray bytesOf(const std::string& bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

}  // namespace

std::optional<QByteArray> ReadStandardInput(qint64 maxBytes, QString* problem) {
    std::string bytes, error;
    if (platform::ReadStandardInput(maxBytes, bytes, error)) return bytesOf(bytes);
    *problem = QString::fromStdString(error);
    return std::nullopt;
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, QString* problem) {
    std::string bytes, error;
    switch (platform::ReadRegularFile(pathOf(path), maxBytes, bytes, error)) {
    case platform::FileRead::Read: return bytesOf(bytes);
    case platform::FileRead::NotRegular:
        *problem = QStringLiteral("not a regular file (- reads standard input)");
        return std::nullopt;
    case platform::FileRead::Failed: break;
    }
    *problem = QString::fromStdString(error);
    return std::nullopt;
}

bool IsStandardOutput(const QString& path) {
    return path == QLatin1String("-") || platform::IsStandardOutputFile(pathOf(path));
}

bool WriteFile(const QString& path, const QByteArray& bytes, QString* problem) {
    if (platform::IsRegularOrMissing(pathOf(path))) {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
        *problem = file.errorString();
        return false;
    }
    std::string error;
    switch (platform::WriteThrough(pathOf(path), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                   error)) {
    case platform::FileWrite::Written: return true;
    case platform::FileWrite::NoReader:
        *problem = QStringLiteral("nothing reads from it");
        return false;
    case platform::FileWrite::Failed: break;
    }
    *problem = QString::fromStdString(error);
    return false;
}

}  // namespace rzl::cli
