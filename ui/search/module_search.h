#pragma once
// The search window's behaviour: the range (this PC's networks, as rzlctl scan picks them), the
// sweep on this thread with rows as modules answer, the closing summary, the choice that makes
// a module the target, and the recent modules kept in the user's settings.

#include <QString>
#include <functional>
#include <memory>

#include "core/context.h"
#include "ui/screen.h"
#include "protocol/scanner.h"

namespace rzl {

class ModuleSearch {
public:
    static constexpr int kRecentKept = 10;

    // `target` makes an address the program's target (as typing it and pressing Static IP).
    ModuleSearch(Context& ctx, Screen& screen, std::function<void(const QString& address)> target);
    ~ModuleSearch();

    // Where the recent modules are kept (an INI file); tests point it elsewhere.
    QString recentFile;
    // This PC's networks to search, as rzlctl scan picks them; a failure's reason in `why`.
    // Tests put loopback ranges here.
    std::function<QStringList(QString* why)> networks;

    // The window opened: the range of this PC's networks and the recent modules, then a sweep.
    void open();
    // A sweep of the range in the view; another one running is stopped first.
    void search();
    // The window closed: a sweep in progress ends.
    void close();
    // Makes the row's module the target and keeps it among the recent ones.
    void choose(int row);
    // An address typed into the main window: kept among the recent ones.
    void remember(const QString& address, const QString& model = {}, const QString& location = {});
    // The rows as text lines, tab-separated, for the clipboard.
    QString rowsText(const QList<int>& rows) const;
    // http://ADDRESS/ of a row.
    QString webPage(int row) const;

private:
    SearchView& view() { return screen_.search; }
    void loadRecent();
    void saveRecent(const QList<SearchRow>& recent) const;
    QList<SearchRow> readRecent() const;
    void take(const ScanAnswer& answer);
    void finished();

    Context& ctx_;
    Screen& screen_;
    std::function<void(const QString&)> target_;
    std::unique_ptr<NetworkScanner> scanner_;
    ScanOptions options_;
};

}  // namespace rzl
