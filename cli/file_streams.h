#pragma once
// Files as rzlctl's users name them: "-" for standard input or output, /dev/stdout, a FIFO by
// mistake. Nothing here waits on a file that nobody writes.

#include <QByteArray>
#include <QString>
#include <optional>

namespace rzl::cli {

// At most `maxBytes` + 1 bytes from standard input, up to its end (more than `maxBytes` tells
// the caller the input was too long).
std::optional<QByteArray> ReadStandardInput(qint64 maxBytes, QString* problem);

// A regular file's first `maxBytes` + 1 bytes. The file is opened without waiting, so a FIFO
// or device is refused at once instead of blocking until someone writes to it.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, QString* problem);

// True when `path` is "-" or names the file standard output is open on (/dev/stdout, or on
// any system the file it was redirected to).
bool IsStandardOutput(const QString& path);

// Writes `bytes` to `path`: a new or regular file replaced whole (never half written), anything
// else (a device, a FIFO that someone reads) written through.
bool WriteFile(const QString& path, const QByteArray& bytes, QString* problem);

}  // namespace rzl::cli
