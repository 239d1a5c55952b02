#include "ui/search/widgets/search_window.h"

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
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/screen.h"
#include "ui/search/module_search.h"
#include "ui/widgets/render_scheduler.h"

namespace rzl {

namespace {

const QStringList kColumns{QStringLiteral("Address"), QStringLiteral("Model"),    QStringLiteral("Location"),
                           QStringLiteral("MAC"),     QStringLiteral("Firmware"), QStringLiteral("Signal"),
                           QStringLiteral("Note")};
constexpr int kRowIndexRole = Qt::UserRole + 1;  // the record's row, whatever the sort order
constexpr int kSortRole = Qt::UserRole + 2;

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
    searchButton_->setAutoDefault(false);
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
    table_->horizontalHeader()->setStretchLastSection(true);
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
    connect(range_, &QLineEdit::returnPressed, this, [this] { search_.search(); });
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

void SearchWindow::openAndSearch() {
    show();
    raise();
    activateWindow();
    search_.open();
    render();
    table_->setFocus();
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
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.append(table_->item(index.row(), 0)->data(kRowIndexRole).toInt());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SearchWindow::chooseCurrent() {
    const int current = table_->currentRow();
    if (current < 0 || !table_->item(current, 0)) return;
    const int row = table_->item(current, 0)->data(kRowIndexRole).toInt();
    accept();
    search_.choose(row);
}

void SearchWindow::render() {
    const SearchView& v = screen_.search;
    if (!range_->hasFocus() && range_->text() != v.range) range_->setText(v.range);
    progress_->setRange(0, std::max(1, v.total));
    progress_->setValue(v.searching ? v.done : (v.total > 0 ? v.total : 0));
    progress_->setVisible(v.searching);
    summary_->setText(v.problem.isEmpty() ? v.summary : v.problem);

    // Rows keep their place under the user's sort; the selection follows its address.
    const QList<int> selected = selectedRows();
    QStringList selectedAddresses;
    for (int i : selected)
        if (i < v.rows.size()) selectedAddresses.append(v.rows[i].address);
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
            item->setData(kRowIndexRole, i);
            if (c == 0) item->setData(kSortRole, QHostAddress(r.address).toIPv4Address());
            QFont font = item->font();
            font.setItalic(r.recent && !r.seen);
            item->setFont(font);
        }
    }
    table_->setSortingEnabled(true);
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (selectedAddresses.contains(table_->item(row, 0)->text())) table_->selectRow(row);
    }
    if (table_->currentRow() < 0 && table_->rowCount() > 0) table_->setCurrentCell(0, 0);
    table_->resizeColumnsToContents();
}

}  // namespace rzl
