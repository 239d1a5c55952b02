#include "ui/search/widgets/search_window.h"

#include <algorithm>
#include <array>


#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/screen.h"
#include "ui/search/module_search.h"
#include "ui/widgets/render_scheduler.h"

namespace rzl {

namespace {

const QStringList kColumns{QStringLiteral("Address"), QStringLiteral("Model"),    QStringLiteral("Location"),
                           QStringLiteral("MAC"),     QStringLiteral("Firmware"), QStringLiteral("Signal"),
                           QStringLiteral("Note")};
constexpr int kSortRole = Qt::UserRole + 2;
constexpr int kNarrowestWrapped = 60;  // a wrapped column keeps a word per line
// The columns that may wrap when the screen is too narrow for every column; the others hold one
// short token each.
constexpr std::array kWrappedColumns{6, 2, 1};

// Sorts by kSortRole where a column has one (addresses by value, not as text).
class RowItem : public QTableWidgetItem {
public:
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant mine = data(kSortRole), theirs = other.data(kSortRole);
        if (mine.isValid() && theirs.isValid()) return mine.toULongLong() < theirs.toULongLong();
        return QTableWidgetItem::operator<(other);
    }
};

}  // namespace

SearchWindow::SearchWindow(Screen& screen, ModuleSearch& search, QWidget* parent)
    : QDialog(parent), screen_(screen), search_(search) {
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("Find modules"));
    resize(760, 420);

    auto* rangeLabel = new QLabel(QStringLiteral("&Range:"), this);
    range_ = new QLineEdit(this);
    range_->setObjectName(QStringLiteral("Range"));
    range_->setAccessibleName(QStringLiteral("Range:"));
    rangeLabel->setBuddy(range_);
    searchButton_ = new QPushButton(QStringLiteral("&Search"), this);
    searchButton_->setObjectName(QStringLiteral("Search"));
    // Enter anywhere but on a row searches (the range field passes Enter on to the window).
    searchButton_->setDefault(true);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setAccessibleName(QStringLiteral("Search progress"));
    table_ = new QTableWidget(0, static_cast<int>(kColumns.size()), this);
    table_->setObjectName(QStringLiteral("Modules"));
    table_->setAccessibleName(QStringLiteral("Modules found"));
    table_->setHorizontalHeaderLabels(kColumns);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // In the records' order until the user sorts: the recent modules first, newest first, then
    // the others by address.
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->verticalHeader()->hide();
    // Every column as wide as its text, the note too: the window scrolls rather than cut it.
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->setWordWrap(true);
    table_->setTabKeyNavigation(false);  // Tab leaves the table for the buttons
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("Summary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    copy_ = new QPushButton(QStringLiteral("&Copy"), this);
    copy_->setObjectName(QStringLiteral("Copy"));
    copy_->setAutoDefault(false);
    web_ = new QPushButton(QStringLiteral("Open &web page"), this);
    web_->setObjectName(QStringLiteral("OpenWebPage"));
    web_->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(rangeLabel);
    top->addWidget(range_, 1);
    top->addWidget(searchButton_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(web_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(progress_);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    layout->addLayout(buttons);

    new RenderScheduler(screen_, [this] { render(); }, this);
    connect(range_, &QLineEdit::textEdited, this, [this](const QString& text) { screen_.search.range = text; });
    connect(searchButton_, &QPushButton::clicked, this, [this] { search_.search(); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { chooseCurrent(); });
    connect(copy_, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(search_.rowsText(selectedRows()));
    });
    connect(web_, &QPushButton::clicked, this, [this] {
        const QList<int> rows = selectedRows();
        if (!rows.isEmpty()) QDesktopServices::openUrl(QUrl(search_.webPage(rows.first())));
    });
    connect(this, &QDialog::finished, this, [this] { search_.close(); });
}

void SearchWindow::openForSearch() {
    show();
    raise();
    activateWindow();
    search_.open();
    render();
    searchButton_->setFocus();
}

void SearchWindow::keyPressEvent(QKeyEvent* event) {
    // Enter on a row chooses it; elsewhere Enter keeps its meaning (the range field searches).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && table_->hasFocus()) {
        chooseCurrent();
        return;
    }
    QDialog::keyPressEvent(event);
}

QList<int> SearchWindow::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        const int row = search_.indexOf(table_->item(index.row(), 0)->text());
        if (row >= 0) rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The row with the focus frame, by the address it shows: the record's rows may have moved since
// the table was drawn (a module answering inserts a row), and the user chose what they saw.
void SearchWindow::chooseCurrent() {
    const int current = table_->currentRow();
    if (current < 0 || !table_->item(current, 0)) return;
    const QString address = table_->item(current, 0)->text();
    accept();
    search_.choose(address);
}

void SearchWindow::render() {
    const SearchView& v = screen_.search;
    if (!range_->hasFocus() && range_->text() != v.range) range_->setText(v.range);
    progress_->setRange(0, std::max(1, v.total));
    progress_->setValue(v.searching ? v.done : (v.total > 0 ? v.total : 0));
    progress_->setVisible(v.searching);
    summary_->setText(v.problem.isEmpty() ? v.summary : v.problem);

    // Rows keep their place under the user's sort; the selection and the focus frame follow
    // their addresses.
    QStringList selectedAddresses;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        selectedAddresses.append(table_->item(index.row(), 0)->text());
    const int currentRow = table_->currentRow();
    const QString currentAddress =
        currentRow >= 0 && table_->item(currentRow, 0) ? table_->item(currentRow, 0)->text() : QString();
    table_->setSortingEnabled(false);
    table_->setRowCount(static_cast<int>(v.rows.size()));
    for (int i = 0; i < v.rows.size(); ++i) {
        const SearchRow& r = v.rows[i];
        const QStringList cells{r.address, r.model, r.location, r.mac, r.firmware, r.signal, r.note};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = table_->item(i, c);
            if (!item) {
                item = new RowItem;
                table_->setItem(i, c, item);
            }
            item->setText(cells[c]);
            if (c == 0) item->setData(kSortRole, QHostAddress(r.address).toIPv4Address());
            QFont font = item->font();
            font.setItalic(r.recent && !r.seen);
            item->setFont(font);
        }
    }
    table_->setSortingEnabled(true);
    table_->clearSelection();
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (selectedAddresses.contains(table_->item(row, 0)->text()))
            table_->selectionModel()->select(table_->model()->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    for (int row = 0; row < table_->rowCount() && !currentAddress.isEmpty(); ++row) {
        if (table_->item(row, 0)->text() != currentAddress) continue;
        table_->setCurrentCell(row, table_->currentColumn() < 0 ? 0 : table_->currentColumn(), QItemSelectionModel::NoUpdate);
        break;
    }
    if (table_->currentRow() < 0 && table_->rowCount() > 0) table_->setCurrentCell(0, 0);
    table_->resizeColumnsToContents();
    // Wider columns than the table shows: the window grows to them, within the screen, so the
    // note at the right end is not cut off; where the screen is too narrow, the note, the
    // location and the model wrap in the room left. The window never shrinks what the user chose.
    int missing = table_->horizontalHeader()->length() - table_->viewport()->width();
    if (missing > 0) {
        const QScreen* shown = screen();
        const int room = shown ? shown->availableGeometry().width() : width() + missing;
        const int grown = std::min(width() + missing, room);
        missing -= grown - width();
        resize(grown, height());
    }
    // The widest of them give up width first, down to a common width, so they end alike: the
    // level is lowered a pixel at a time until it frees what is missing (or reaches the narrowest).
    if (missing > 0) {
        std::array<int, kWrappedColumns.size()> widths{};
        std::transform(kWrappedColumns.begin(), kWrappedColumns.end(), widths.begin(),
                       [this](int column) { return table_->columnWidth(column); });
        const auto freedAt = [&widths](int level) {
            int freed = 0;
            for (const int w : widths) freed += std::max(0, w - level);
            return freed;
        };
        int level = *std::max_element(widths.begin(), widths.end());
        while (level > kNarrowestWrapped && freedAt(level) < missing) --level;
        for (std::size_t i = 0; i < widths.size(); ++i)
            table_->setColumnWidth(kWrappedColumns[i], std::min(widths[i], level));
    }
    table_->resizeRowsToContents();
}

}  // namespace rzl
