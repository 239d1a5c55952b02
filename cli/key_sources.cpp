#include "cli/key_sources.h"

#include <QFile>

#include "cli/file_streams.h"
#include "cli/terminal_host.h"

namespace rzl::cli {

namespace {

constexpr qint64 kMaxKeyFileBytes = 4096;  // a key is at most 16 characters; a line more is not a key file

std::optional<QString> keyFromFile(const QString& path, QString* problem) {
    QFile file(path);
    // Not ReadRegularFile: `--key-file <(pass show ap)` is a pipe, written as soon as it is read.
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return FirstLine(file.read(kMaxKeyFileBytes));
}

// Asks on the terminal; empty when nothing was typed.
QString prompted(const QString& what) {
    return ReadHiddenLine(what.left(1).toUpper() + what.mid(1) + QStringLiteral(": ")).value_or(QString());
}

}  // namespace

QString FirstLine(const QByteArray& text) {
    QByteArray line = text.left(text.indexOf('\n') < 0 ? text.size() : text.indexOf('\n'));
    if (line.endsWith('\r')) line.chop(1);
    return QString::fromUtf8(line);
}

bool KeyReader::canAsk() const { return standardInputUser_.isEmpty() && StandardInputIsTerminal(); }

std::optional<Key> KeyReader::read(const KeySource& source, bool required, QString* problem) {
    Key key;
    if (source.value && source.file) {
        *problem = QStringLiteral("%1 is given twice: as an argument and in a file").arg(source.what);
        return std::nullopt;
    }
    if (source.value && *source.value == QLatin1String("-")) {
        if (!standardInputUser_.isEmpty()) {
            *problem = QStringLiteral("%1 cannot come from standard input: %2 reads it").arg(source.what, standardInputUser_);
            return std::nullopt;
        }
        standardInputUser_ = source.what;
        if (StandardInputIsTerminal()) {
            key = {prompted(source.what), KeyOrigin::Prompt};
        } else {
            const std::optional<QByteArray> text = ReadStandardInput(kMaxKeyFileBytes, problem);
            if (!text) return std::nullopt;
            key = {FirstLine(*text), KeyOrigin::StandardInput};
        }
        if (key.text.isEmpty()) {
            *problem = QStringLiteral("%1: nothing on standard input").arg(source.what);
            return std::nullopt;
        }
    } else if (source.value) {
        key = {*source.value, KeyOrigin::Typed};
        typedWarnings_.append(QStringLiteral("%1 was given as an argument, which other users see in the process list; "
                                             "give it on standard input (-), in a file (%2)%3 instead")
                                  .arg(source.what, source.fileOption,
                                       source.variable.isEmpty() ? QString() : QStringLiteral(" or in ") + source.variable));
    } else if (source.file) {
        const std::optional<QString> text = keyFromFile(*source.file, problem);
        if (!text) return std::nullopt;
        if (text->isEmpty()) {
            *problem = QStringLiteral("%1: %2 holds no key on its first line").arg(source.what, *source.file);
            return std::nullopt;
        }
        key = {*text, KeyOrigin::File};
    } else if (!source.variable.isEmpty() && !qEnvironmentVariableIsEmpty(source.variable.toLatin1().constData())) {
        key = {qEnvironmentVariable(source.variable.toLatin1().constData()), KeyOrigin::Environment};
    } else if (required && canAsk()) {
        standardInputUser_ = source.what;
        key = {prompted(source.what), KeyOrigin::Prompt};
        if (key.text.isEmpty()) {
            *problem = QStringLiteral("%1: none typed").arg(source.what);
            return std::nullopt;
        }
    } else if (required) {
        *problem = QStringLiteral("%1 is missing: give it as an argument, - for standard input, in a file (%2)%3")
                       .arg(source.what, source.fileOption,
                            source.variable.isEmpty() ? QString() : QStringLiteral(" or in ") + source.variable);
        return std::nullopt;
    }
    if (key.given()) keysRead_.append(key.text);
    return key;
}

}  // namespace rzl::cli
