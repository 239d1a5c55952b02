#pragma once
// The keys given to rzlctl, kept off the terminal: the module's log lines ("AP_KEY =...",
// "WEB Key =...") and the confirmations ("KEY: ...") show them, in the desktop program's
// protocol view as on rzlctl's standard error. rzlctl shows them only with --verbose.

#include <QString>
#include <QStringList>

namespace rzl::cli {

class KeyMask {
public:
    void hide(const QString& key) {
        if (!key.isEmpty()) keys_.append(key);
    }

    // The text with each key given replaced where it follows one of the labels that show keys.
    QString apply(QString text) const {
        static const QStringList labels{QStringLiteral("AP_KEY ="), QStringLiteral("STA_KEY ="),
                                        QStringLiteral("WEB Key ="), QStringLiteral("KEY: "),
                                        QStringLiteral("WEB Key: ")};
        for (const QString& key : keys_)
            for (const QString& label : labels) text.replace(label + key, label + QStringLiteral("(hidden)"));
        return text;
    }

private:
    QStringList keys_;
};

}  // namespace rzl::cli
