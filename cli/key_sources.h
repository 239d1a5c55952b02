#pragma once
// Keys kept off the command line, where `ps` and the shell's history would show them. A key
// comes from the first of: its argument or option ("-" reads it from standard input), a file
// (--key-file, --ap-key-file, --station-key-file), an environment variable (RZL_AP_KEY,
// RZL_STATION_KEY, RZL_WEB_KEY); otherwise, when the command cannot go on without it and
// standard input is a terminal, it is asked for without echo.

#include <QString>
#include <QStringList>
#include <optional>

namespace rzl::cli {

struct KeySource {
    QString what;                  // "the AP key": in problems and the prompt
    std::optional<QString> value;  // as typed; "-" is standard input
    std::optional<QString> file;   // a file holding the key on its first line
    QString fileOption;            // "--key-file": in problems
    QString variable;              // the environment variable, empty for none
};

// Where a key came from, for the rules that treat the environment as a default only.
enum class KeyOrigin { None, Typed, StandardInput, File, Environment, Prompt };

struct Key {
    QString text;
    KeyOrigin origin = KeyOrigin::None;
    bool given() const { return origin != KeyOrigin::None; }
};

// Reads keys; standard input serves one reader only (one key, or restore's file).
class KeyReader {
public:
    // The key, or one with origin None when no source gives it and it is not `required`.
    // Nothing, with the problem, when a source cannot be read or a required key is missing.
    std::optional<Key> read(const KeySource& source, bool required, QString* problem);

    // Standard input is taken by something else (restore -); a key on "-" is then a problem.
    void takeStandardInput(const QString& by) { standardInputUser_ = by; }

    // A prompt can be answered: standard input is a terminal that nothing else reads.
    bool canAsk() const;

    // Every key read, to be kept out of what is printed.
    const QStringList& keysRead() const { return keysRead_; }
    // The warnings for the keys given as arguments, where `ps` and the shell's history show them.
    QStringList typedWarnings() const { return typedWarnings_; }

private:
    QString standardInputUser_;
    QStringList keysRead_;
    QStringList typedWarnings_;
};

// The key on the first line of `text` (a file's or standard input's), without its line end.
QString FirstLine(const QByteArray& text);

}  // namespace rzl::cli
