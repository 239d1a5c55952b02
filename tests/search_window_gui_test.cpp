// The search window against simulated modules on 127.0.0.x: nothing swept until asked, rows as
// modules answer, the summary of the hosts that answered wrongly, a choice by keyboard that makes
// the framed row's module the target, Escape, and the recent modules and the range kept across
// a restart. The PC's own networks are never swept here: the
// search is given loopback ranges.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

#include "protocol/request_builders.h"
#include "tests/support/gui_events.h"
#include "tests/support/loopback_modules.h"
#include "tests/support/loopback_peer.h"
#include "tests/support/test_program.h"
#include "tests/support/wait.h"
#include "ui/main/widgets/main_window.h"
#include "ui/search/widgets/search_window.h"

namespace rzl::test {
namespace {

using sim::FaultMode;

struct SearchWorld {
    explicit SearchWorld(const QString& recentFile, std::uint16_t port) {
        t.target(port);
        t.program.search.recentFile = recentFile;
        t.program.search.networks = [](QString*) { return QStringList{QStringLiteral("127.0.0.0/29")}; };
    }
    bool sweepDone(int timeoutMs = 10000) {
        WaitFor([this] { return !t.screen.search.searching; }, timeoutMs, RunEvents);
        Settle();
        return !t.screen.search.searching;
    }
    // Enter where the focus is, as the keyboard would deliver it.
    void enter() {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(focus, &press);
    }
    QStringList tableColumn(SearchWindow* window, int column) {
        auto* table = window->findChild<QTableWidget*>(QStringLiteral("Modules"));
        QStringList cells;
        for (int row = 0; row < table->rowCount(); ++row) cells.append(table->item(row, column)->text());
        return cells;
    }

    TestProgram t;
    MainWindow main{t.program};
};

class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sims.start({{2},
                                {3, FaultMode::Silent},
                                {5, FaultMode::Slow, 176, std::nullopt, 1500},
                                {6, FaultMode::None, 177, std::array<std::uint8_t, 4>{10, 0, 0, 9}}}));
        recentFile = dir.filePath("recent-modules.ini");
    }
    void press(QWidget* target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }

    int connections() {
        int count = 0;
        for (const auto& module : sims.modules) count += module->connectionCount();
        return count;
    }

    LoopbackModules sims;
    QTemporaryDir dir;
    QString recentFile;
};

TEST_F(SearchWindowTest, CtrlFSweepsAndListsTheModulesWithTheSummary) {
    SearchWorld w(recentFile, sims.port);
    w.main.show();
    Settle();
    // Compared without the focus in it: the address field's caret blinks.
    const auto face = [&] {
        if (QWidget* focus = w.main.focusWidget()) focus->clearFocus();
        Settle();
        return w.main.grab().toImage();
    };
    const QImage before = face();
    press(&w.main, 0);  // nothing yet: the search never opens by itself
    EXPECT_EQ(w.main.findChild<SearchWindow*>(), nullptr);

    QKeyEvent ctrlF(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier);
    QApplication::sendEvent(&w.main, &ctrlF);  // a shortcut goes through the window's shortcut map
    SearchWindow* window = w.main.findChild<SearchWindow*>();
    if (!window) window = w.main.showSearch();  // offscreen windows may not take the shortcut
    Settle();

    // Open with the range filled in and the focus on Search; nothing swept until Enter.
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Range"))->text(), QStringLiteral("127.0.0.0/29"));
    EXPECT_EQ(QApplication::focusWidget(), window->findChild<QWidget*>(QStringLiteral("Search")));
    EXPECT_FALSE(w.t.screen.search.searching);
    EXPECT_EQ(connections(), 0) << "swept before the user asked";
    w.enter();
    EXPECT_TRUE(w.t.screen.search.searching);
    ASSERT_TRUE(w.sweepDone());
    EXPECT_GE(connections(), 4);

    EXPECT_EQ(w.tableColumn(window, 0), (QStringList{"127.0.0.2", "127.0.0.6"}));
    EXPECT_EQ(w.tableColumn(window, 1), (QStringList{"rZL-K110 Tiny I/O Controller", "rZL-K130 Tiny I/O Controller"}));
    EXPECT_EQ(w.tableColumn(window, 6), (QStringList{"", "reports 10.0.0.9"}));
    const QString summary = window->findChild<QLabel*>(QStringLiteral("Summary"))->text();
    EXPECT_TRUE(summary.startsWith("6 addresses tried in ")) << summary.toStdString();
    EXPECT_TRUE(summary.contains(", 2 found")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("127.0.0.3 accepted, no reply within 500 ms")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("127.0.0.5 accepted, no reply within 500 ms")) << summary.toStdString();
    EXPECT_EQ(face(), before) << "the main window's face changed";
    // scripts/screenshots.sh takes the README's picture of the window from here.
    if (const QString dir = qEnvironmentVariable("RZL_SEARCH_PICTURE_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(window->grab().save(dir + "/search.png"));
    }

    // Escape closes it.
    window->findChild<QTableWidget*>(QStringLiteral("Modules"))->setFocus();
    press(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Tab into the table, an arrow key, Enter: the row with the focus frame becomes the target as
// Static IP would make it, even when a module answering just then has moved the rows, and the
// next cycle identifies it there; the module is then offered first among the recent ones after a
// restart, with the range last searched.
TEST_F(SearchWindowTest, EnterTargetsTheFramedRowsModuleWhichIsRememberedAcrossARestart) {
    {
        SearchWorld w(recentFile, sims.port);
        w.t.ctx.session.deviceIp = QStringLiteral("127.0.0.1");  // another target before
        SearchWindow* window = w.main.showSearch();
        Settle();
        w.enter();
        ASSERT_TRUE(w.sweepDone());
        auto* table = window->findChild<QTableWidget*>(QStringLiteral("Modules"));
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
        ASSERT_EQ(QApplication::focusWidget(), table);
        // The frame follows its module as rows arrive: wherever it is, up to the first row, then
        // down one.
        press(table, Qt::Key_Up);
        ASSERT_EQ(table->item(table->currentRow(), 0)->text(), QStringLiteral("127.0.0.2"));
        press(table, Qt::Key_Down);
        ASSERT_EQ(table->item(table->currentRow(), 0)->text(), QStringLiteral("127.0.0.6"));
        // A module answers and its row goes first in the record, before the table is drawn again.
        SearchRow late;
        late.address = QStringLiteral("127.0.0.4");
        w.t.screen.search.rows.prepend(late);
        press(table, Qt::Key_Return);
        Settle();
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(w.t.ctx.session.deviceIp, QStringLiteral("127.0.0.6"));
        EXPECT_EQ(w.t.screen.main.edit2, QStringLiteral("127.0.0.6"));
        const int before = static_cast<int>(sims.modules[3]->receivedFrames().size());
        for (int tick = 0; tick < 40 && !w.t.ctx.session.deviceIdentified; ++tick) w.t.program.form1.Timer3Timer();
        EXPECT_GT(sims.modules[3]->receivedFrames().size(), before) << "identified at its address";
    }
    SearchWorld restarted(recentFile, sims.port);
    restarted.t.program.search.networks = [](QString* why) {
        *why = QStringLiteral("adapter list busy");
        return QStringList();
    };
    SearchWindow* window = restarted.main.showSearch();
    Settle();
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("Range"))->text(), QStringLiteral("127.0.0.0/29"));
    EXPECT_EQ(restarted.tableColumn(window, 0), (QStringList{"127.0.0.6"}));
    EXPECT_EQ(restarted.tableColumn(window, 1), (QStringList{"rZL-K130 Tiny I/O Controller"}));
    EXPECT_EQ(restarted.tableColumn(window, 6), (QStringList{"recent, not seen in this search"}));
}

// A row with every column filled keeps its note whole and in sight: the window grows to its
// columns (within the screen, 800 pixels wide here) and the note wraps in the room left, rather
// than run off the window's default width. The location is long enough that the other columns
// alone are wider than the screen (as every column is with wider fonts): it wraps too.
TEST(SearchWindowColumns, TheNoteIsNeverCutOff) {
    TestProgram t;
    SearchWindow window(t.screen, t.program.search);
    window.show();
    SearchRow full{QStringLiteral("192.168.177.199"), QStringLiteral("rZL-K130 Tiny I/O Controller"),
                   QStringLiteral("Pump house, north wall, behind the second tank"), QStringLiteral("00:1A:2B:3C:4D:5E"), QStringLiteral("01.0A"),
                   QStringLiteral("-60 dBm"), QStringLiteral("recent, not seen in this search"), true, false};
    t.screen.search.rows = {full};
    window.render();
    Settle();
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("Modules"));
    EXPECT_LE(table->columnViewportPosition(6) + table->columnWidth(6), table->viewport()->width());
    // As wide as the note, or the row tall enough for its wrapped lines.
    const QRect wrapped = table->fontMetrics().boundingRect(QRect(0, 0, table->columnWidth(6) - 8, 1000),
                                                            Qt::TextWordWrap, full.note);
    EXPECT_GE(table->rowHeight(0), wrapped.height());
}

// A range of more than 1,024 addresses asks first; No sweeps nothing.
TEST_F(SearchWindowTest, ALargeRangeAsksFirst) {
    SearchWorld w(recentFile, sims.port);
    SearchWindow* window = w.main.showSearch();
    Settle();
    auto* range = window->findChild<QLineEdit*>(QStringLiteral("Range"));
    range->setFocus();
    range->selectAll();
    Type(range, QStringLiteral("127.0.0.0/21"));
    w.t.dialogs.answers = {false};
    w.enter();
    Settle();
    ASSERT_EQ(w.t.dialogs.boxes.size(), 1);
    EXPECT_EQ(w.t.dialogs.boxes[0].text.toStdString(),
              "Search 2046 addresses? A search this large reaches every host of the range.");
    EXPECT_FALSE(w.t.screen.search.searching);
    EXPECT_EQ(connections(), 0);
}

// Twelve addresses taken with Static IP or Return in the address field, one after another: the
// ten newest are kept, newest first, in the settings file and in the search window.
TEST(RecentModules, TwelveChosenTheTenNewestAreKeptNewestFirst) {
    QTemporaryDir dir;
    const QString recentFile = dir.filePath("recent-modules.ini");
    SearchWorld w(recentFile, closedLoopbackPort());
    w.t.program.search.networks = [](QString* why) {
        *why = QStringLiteral("adapter list busy");  // no sweep: the recent modules only
        return QStringList();
    };
    auto* address = w.main.findChild<QLineEdit*>(QStringLiteral("Edit2"));
    QStringList newestFirst;
    for (int n = 1; n <= 12; ++n) {
        const QString typed = QStringLiteral("127.0.0.%1").arg(n);
        address->selectAll();
        Type(address, typed);
        if (n % 2 == 0) {
            Click(w.main.findChild<QWidget*>(QStringLiteral("SpeedButton5")));
        } else {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(address, &enter);
        }
        ASSERT_EQ(w.t.ctx.session.deviceIp, typed);
        EXPECT_EQ(w.t.screen.main.statusBar2[0], QStringLiteral("Change IP => ") + typed);
        newestFirst.prepend(typed);
    }
    ASSERT_EQ(w.t.ctx.session.deviceIp, QStringLiteral("127.0.0.12"));
    newestFirst = newestFirst.mid(0, 10);

    QSettings file(recentFile, QSettings::IniFormat);
    QStringList inFile;
    const int size = file.beginReadArray(QStringLiteral("recent"));
    for (int i = 0; i < size; ++i) {
        file.setArrayIndex(i);
        inFile.append(file.value(QStringLiteral("address")).toString());
    }
    EXPECT_EQ(inFile.join(' ').toStdString(), newestFirst.join(' ').toStdString());
    SearchWindow* window = w.main.showSearch();
    EXPECT_EQ(w.tableColumn(window, 0).join(' ').toStdString(), newestFirst.join(' ').toStdString());

    // A click on the Address header sorts by address (by value, not as text).
    QWidget* header = window->findChild<QTableWidget*>(QStringLiteral("Modules"))->horizontalHeader()->viewport();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(10, 5), header->mapToGlobal(QPointF(10, 5)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header, &event);
    }
    std::reverse(newestFirst.begin(), newestFirst.end());
    EXPECT_EQ(w.tableColumn(window, 0).join(' ').toStdString(), newestFirst.join(' ').toStdString());
}

}  // namespace
}  // namespace rzl::test
