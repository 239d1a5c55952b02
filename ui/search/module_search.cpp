#include "ui/search/module_search.h"

#include <QHostAddress>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

#include "protocol/scan_range.h"

namespace rzl {

namespace {

std::optional<std::uint32_t> Ipv4Of(const QString& text) {
    bool ok = false;
    const QHostAddress address(text);
    const std::uint32_t value = address.toIPv4Address(&ok);
    if (!ok || AddressText(value) != text) return std::nullopt;
    return value;
}

const QString kNotSeen = QStringLiteral("recent, not seen in this search");

SearchRow RowOf(const ScanAnswer& a) {
    SearchRow row;
    row.address = AddressText(a.address);
    row.model = a.modelName;
    row.location = a.location;
    row.mac = a.mac;
    row.firmware = a.firmware;
    if (a.rssiDbm) row.signal = QStringLiteral("%1 dBm").arg(*a.rssiDbm);
    // Such a module answers here but is not identified at this address.
    if (a.reportedAddress != row.address) row.note = QStringLiteral("reports %1").arg(a.reportedAddress);
    row.seen = true;
    return row;
}

}  // namespace

ModuleSearch::ModuleSearch(Context& ctx, Screen& screen, DialogHost& dialogs, std::function<void(const QString&)> target)
    : recentFile(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                 QStringLiteral("/recent-modules.ini")),
      networks([&ctx](QString* why) {
          QStringList ranges;
          if (ctx.hostNetwork && ctx.hostNetwork->readAdapters(ctx.probe, why)) {
              for (const AdapterRange& a : AdapterScanRanges(ctx.probe)) ranges.append(RangeText(a.range));
          }
          return ranges;
      }),
      ctx_(ctx),
      screen_(screen),
      dialogs_(dialogs),
      target_(std::move(target)) {}

ModuleSearch::~ModuleSearch() = default;

void ModuleSearch::open() {
    SearchView& v = view();
    v.problem.clear();
    loadRecent();
    if (v.searching) return screen_.changed();  // a sweep still running keeps its range
    v.range = readLastRange();
    if (v.range.isEmpty()) {
        QString why;
        const QStringList ranges = networks ? networks(&why) : QStringList();
        v.range = ranges.join(QStringLiteral(", "));
        if (ranges.isEmpty())
            v.problem = why.isEmpty() ? QStringLiteral("No IPv4 network on this PC's adapters; type a range such as 10.0.0.0/24")
                                      : QStringLiteral("Cannot read this PC's network adapters: ") + why;
    }
    screen_.changed();
}

void ModuleSearch::loadRecent() {
    SearchView& v = view();
    v.rows.clear();
    for (SearchRow row : readRecent()) {
        row.recent = true;
        row.note = kNotSeen;
        v.rows.append(row);
    }
}

void ModuleSearch::search() {
    if (scanner_ && scanner_->running()) scanner_->stop();
    SearchView& v = view();
    v.problem.clear();
    v.summary.clear();
    QList<std::uint32_t> addresses;
    for (const QString& part : v.range.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString why;
        const auto range = ParseScanRange(part.trimmed(), &why);
        if (!range) {
            v.problem = why;
            screen_.changed();
            return;
        }
        addresses += HostAddresses(*range);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    if (addresses.isEmpty()) {
        v.problem = QStringLiteral("Type a range such as 10.0.0.0/24");
        screen_.changed();
        return;
    }
    if (addresses.size() > kAddressesWithoutAsking &&
        !dialogs_.confirm(QStringLiteral("Search %1 addresses? A search this large reaches every host of the range.")
                              .arg(addresses.size()),
                          QStringLiteral("Confirm"))) {
        screen_.changed();
        return;
    }
    saveLastRange(v.range);
    // Rows of an earlier sweep go; the recent modules stay, not yet seen in this one.
    loadRecent();
    v.searching = true;
    v.done = 0;
    v.total = static_cast<int>(addresses.size());
    screen_.changed();

    options_.port = ctx_.session.tcpPort;  // the port the program talks to
    scanner_ = std::make_unique<NetworkScanner>(options_);
    scanner_->onProgress = [this](int done, int total, int) {
        view().done = done;
        view().total = total;
        screen_.changed();
    };
    scanner_->onAnswer = [this](const ScanAnswer& answer) { take(answer); };
    scanner_->onFinished = [this] { finished(); };
    scanner_->start(addresses);
}

void ModuleSearch::take(const ScanAnswer& answer) {
    SearchRow row = RowOf(answer);
    QList<SearchRow>& rows = view().rows;
    auto same = std::find_if(rows.begin(), rows.end(), [&](const SearchRow& r) { return r.address == row.address; });
    if (same != rows.end()) {
        row.recent = same->recent;
        *same = row;
    } else {
        // The others by address, after the recent ones.
        auto at = std::find_if(rows.begin(), rows.end(), [&](const SearchRow& r) {
            return !r.recent && Ipv4Of(r.address).value_or(0) > answer.address;
        });
        rows.insert(at, row);
    }
    screen_.changed();
}

void ModuleSearch::finished() {
    SearchView& v = view();
    const ScanSummary& s = scanner_->summary();
    v.searching = false;
    QStringList parts{QStringLiteral("%1 addresses tried in %2 s, %3 found")
                          .arg(s.tried)
                          .arg(QString::number(s.elapsedMs / 1000.0, 'f', 1))
                          .arg(s.found)};
    if (s.untried > 0) parts.append(QStringLiteral("%1 not tried (%2)").arg(s.untried).arg(scanner_->untriedReason()));
    for (const HostResult& host : s.oddHosts)
        parts.append(QStringLiteral("%1 %2").arg(AddressText(host.address), HostOutcomeText(host.outcome, options_.timeoutMs)));
    v.summary = parts.join(QStringLiteral("\n"));
    screen_.changed();
}

void ModuleSearch::close() {
    if (scanner_ && scanner_->running()) scanner_->stop();
}

int ModuleSearch::indexOf(const QString& address) const {
    const QList<SearchRow>& rows = screen_.search.rows;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].address == address) return static_cast<int>(i);
    return -1;
}

void ModuleSearch::choose(const QString& address) {
    const int index = indexOf(address);
    if (index < 0) return;
    const SearchRow row = view().rows[index];
    close();
    remember(row.address, row.model, row.location);
    if (target_) target_(row.address);
}

void ModuleSearch::remember(const QString& address, const QString& model, const QString& location) {
    QList<SearchRow> recent = readRecent();
    SearchRow kept;
    for (qsizetype i = 0; i < recent.size(); ++i) {
        if (recent[i].address != address) continue;
        kept = recent.takeAt(i);
        break;
    }
    kept.address = address;
    if (!model.isEmpty()) kept.model = model;
    if (!location.isEmpty()) kept.location = location;
    recent.prepend(kept);
    while (recent.size() > kRecentKept) recent.removeLast();
    saveRecent(recent);
}

QList<SearchRow> ModuleSearch::readRecent() const {
    QSettings settings(recentFile, QSettings::IniFormat);
    QList<SearchRow> recent;
    const int size = settings.beginReadArray(QStringLiteral("recent"));
    for (int i = 0; i < std::min(size, kRecentKept); ++i) {
        settings.setArrayIndex(i);
        SearchRow row;
        row.address = settings.value(QStringLiteral("address")).toString();
        // A hand-edited file may hold anything: only addresses come back.
        if (!Ipv4Of(row.address)) continue;
        row.model = settings.value(QStringLiteral("model")).toString();
        row.location = settings.value(QStringLiteral("location")).toString();
        recent.append(row);
    }
    settings.endArray();
    return recent;
}

QString ModuleSearch::readLastRange() const {
    return QSettings(recentFile, QSettings::IniFormat).value(QStringLiteral("search/range")).toString();
}

void ModuleSearch::saveLastRange(const QString& range) const {
    QSettings settings(recentFile, QSettings::IniFormat);
    settings.setValue(QStringLiteral("search/range"), range.trimmed());
    settings.sync();
}

void ModuleSearch::saveRecent(const QList<SearchRow>& recent) const {
    QSettings settings(recentFile, QSettings::IniFormat);
    settings.remove(QStringLiteral("recent"));
    settings.beginWriteArray(QStringLiteral("recent"), static_cast<int>(recent.size()));
    for (int i = 0; i < recent.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("address"), recent[i].address);
        settings.setValue(QStringLiteral("model"), recent[i].model);
        settings.setValue(QStringLiteral("location"), recent[i].location);
    }
    settings.endArray();
    settings.sync();
}

QString ModuleSearch::rowsText(const QList<int>& indexes) const {
    QStringList lines;
    const QList<SearchRow>& rows = screen_.search.rows;
    for (int i : indexes) {
        if (i < 0 || i >= rows.size()) continue;
        const SearchRow& r = rows[i];
        lines.append(QStringList{r.address, r.model, r.location, r.mac, r.firmware, r.signal, r.note}.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n'));
}

QString ModuleSearch::webPage(int index) const {
    const QList<SearchRow>& rows = screen_.search.rows;
    if (index < 0 || index >= rows.size()) return {};
    return QStringLiteral("http://%1/").arg(rows[index].address);
}

}  // namespace rzl
