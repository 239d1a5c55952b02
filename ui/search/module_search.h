#pragma once
// The search window's behaviour: the range (the last one searched, else this PC's networks as
// rzlctl scan picks them), the sweep on this thread with rows as modules answer, the closing
// summary, the choice that makes a module the target, and the recent modules and the last range
// kept in the user's settings. Nothing is swept until the user asks.

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
    // A sweep of more addresses than this asks first: on an office network it can trip alarms.
    static constexpr int kAddressesWithoutAsking = 1024;

    // `target` makes an address the program's target (as typing it and pressing Static IP).
    ModuleSearch(Context& ctx, Screen& screen, DialogHost& dialogs, std::function<void(const QString& address)> target);
    ~ModuleSearch();

    // Where the recent modules are kept (an INI file); tests point it elsewhere.
    QString recentFile;
    // This PC's networks to search, as rzlctl scan picks them; a failure's reason in `why`.
    // Tests put loopback ranges here.
    std::function<QStringList(QString* why)> networks;

    // The window opened: the range and the recent modules; no sweep until search().
    void open();
    // A sweep of the range in the view, which is kept as the last range; another one running is
    // stopped first. A range of more than kAddressesWithoutAsking addresses asks first.
    void search();
    // The window closed: a sweep in progress ends.
    void close();
    // Makes the module at `address` (as its row shows it) the target and keeps it among the
    // recent ones. By address, never by a row's place: rows move as modules answer.
    void choose(const QString& address);
    // The row showing `address`; -1 when none does.
    int indexOf(const QString& address) const;
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
    QString readLastRange() const;
    void saveLastRange(const QString& range) const;
    void take(const ScanAnswer& answer);
    void finished();

    Context& ctx_;
    Screen& screen_;
    DialogHost& dialogs_;
    std::function<void(const QString&)> target_;
    std::unique_ptr<NetworkScanner> scanner_;
    ScanOptions options_;
};

}  // namespace rzl
