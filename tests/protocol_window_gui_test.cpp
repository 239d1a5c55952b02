// The protocol view: Ctrl+L on the main window opens it beside the window without changing the
// window's face; it shows the frames of real exchanges and the hidden log, newest last; Copy,
// Save, the keyboard and what screen readers are told.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "protocol/request_builders.h"
#include "sim/simulator.h"
#include "tests/support/gui_events.h"
#include "tests/support/wait.h"
#include "tests/support/window_fixture.h"
#include "ui/main/widgets/main_window.h"
#include "ui/main/widgets/protocol_window.h"

using namespace rzl;

namespace {

void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

struct ProtocolWindowTest : test::WindowFixture<MainWindow> {
    void SetUp() override {
        ASSERT_TRUE(module.start());
        t.target(module.port());
    }

    // The main window shown and active, as a user has it before pressing Ctrl+L.
    void showMain() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(test::WaitFor([this] { return QApplication::activeWindow() == &window; }, 3000, test::RunEvents));
    }

    ProtocolWindow* protocol() { return window.findChild<ProtocolWindow*>(); }
    QPlainTextEdit* lines() { return protocol()->findChild<QPlainTextEdit*>(QStringLiteral("Lines")); }
    QStringList shownLines() { return lines()->toPlainText().split(u'\n'); }

    sim::SimulatorThread module;
};

TEST_F(ProtocolWindowTest, CtrlLOpensItBesideTheMainWindowWhoseFaceStaysAsItWas) {
    showMain();
    // Compared without the focus in it: the address field's caret blinks.
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    test::Settle();
    const QImage before = window.grab().toImage();
    const QSize size = window.size();
    ASSERT_EQ(protocol(), nullptr);

    Press(&window, Qt::Key_L, Qt::ControlModifier);
    ASSERT_NE(protocol(), nullptr);
    ASSERT_TRUE(test::WaitFor([this] { return protocol()->isVisible(); }, 3000, test::RunEvents));
    EXPECT_TRUE(protocol()->isWindow());
    EXPECT_EQ(protocol()->windowTitle(), QStringLiteral("Protocol"));
    const QRect beside = protocol()->frameGeometry();
    const QRect room = window.screen()->availableGeometry();
    EXPECT_TRUE(room.contains(beside)) << "view at " << beside.x() << "," << beside.y() << " size " << beside.width()
                                       << "x" << beside.height() << " on " << room.width() << "x" << room.height();

    test::Settle();
    EXPECT_EQ(window.size(), size);
    EXPECT_EQ(window.grab().toImage(), before);

    // Escape closes it; Ctrl+L brings the same window back.
    ProtocolWindow* first = protocol();
    Press(lines(), Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    window.activateWindow();
    ASSERT_TRUE(test::WaitFor([this] { return QApplication::activeWindow() == &window; }, 3000, test::RunEvents));
    Press(&window, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(window.findChildren<ProtocolWindow*>().size(), 1);
}

// Beside the main window where a side has room, else wholly on the screen: Copy and Save in reach.
TEST(ProtocolWindowPlace, BesideWhereItFitsElseWhollyOnTheScreen) {
    const QSize view(720, 500);
    const struct {
        const char* what;
        QRect room, main;
        QPoint at;
    } cases[] = {
        {"room on the right", {0, 0, 1920, 1040}, {100, 50, 317, 480}, {425, 50}},
        {"room only on the left", {0, 0, 1280, 984}, {800, 50, 317, 480}, {72, 50}},
        {"room on neither side", {0, 0, 1280, 984}, {480, 50, 317, 480}, {560, 50}},
        {"main window low on a short screen", {0, 0, 1280, 700}, {100, 400, 317, 480}, {425, 200}},
        {"second screen to the right", {1920, 0, 1280, 984}, {2900, 0, 317, 480}, {2172, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QPoint at = PlaceBeside(c.main, view, c.room, 8);
        EXPECT_EQ(at, c.at);
        EXPECT_TRUE(c.room.contains(QRect(at, view)));
    }
}

TEST_F(ProtocolWindowTest, ShowsEveryFrameAndLogLineNewestLast) {
    SendIdentify(t.ctx);  // before the view exists
    window.showProtocol();
    SendPoll(t.ctx);      // while it is open
    t.ctx.log(QStringLiteral("Wait RX Timeout!"));

    const QStringList shown = shownLines();
    ASSERT_EQ(shown.size(), 5) << lines()->toPlainText().toStdString();
    EXPECT_TRUE(shown[0].endsWith(QStringLiteral(" Identify        >> 5A 35 77 A5 21 00 00"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[1].contains(QStringLiteral(" Identify        << 5A 35 77 A5 21 06 B0 "))) << shown[1].toStdString();
    EXPECT_TRUE(shown[2].endsWith(QStringLiteral(" Poll            >> 5A 35 77 A5 D8"))) << shown[2].toStdString();
    EXPECT_TRUE(shown[3].contains(QStringLiteral(" Poll            << 5A 35 77 A5 D8 06 "))) << shown[3].toStdString();
    EXPECT_TRUE(shown[4].endsWith(QStringLiteral(" log: Wait RX Timeout!")));
    // Long replies do not scroll the view away from the start of the lines.
    EXPECT_EQ(lines()->horizontalScrollBar()->value(), 0);
    // Each line opens with the time it happened.
    EXPECT_TRUE(QDateTime::fromString(shown[0].section(u' ', 0, 0), Qt::ISODateWithMs).isValid()) << shown[0].toStdString();
}

TEST_F(ProtocolWindowTest, CopyTakesTheSelectionOrEverythingAndSaveWritesEveryLine) {
    SendIdentify(t.ctx);
    t.ctx.log(QStringLiteral("Get DI Counter done!!"));
    ProtocolWindow* view = window.showProtocol();
    const QString all = lines()->toPlainText();

    test::Click(view->findChild<QPushButton*>(QStringLiteral("Copy")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);

    QTextCursor cursor = lines()->textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);  // the first two lines
    lines()->setTextCursor(cursor);
    test::Click(view->findChild<QPushButton*>(QStringLiteral("Copy")));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all.section(u'\n', 0, 1) + u'\n');

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("protocol.txt"));
    view->askSaveFile = [&] { return path; };
    test::Click(view->findChild<QPushButton*>(QStringLiteral("Save")));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), all + u'\n');
    auto* outcome = view->findChild<QLabel*>(QStringLiteral("Outcome"));
    EXPECT_EQ(outcome->text(), QStringLiteral("Saved 3 lines to %1").arg(path));

    // A file that cannot be written says so, and a cancelled dialog writes nothing.
    view->askSaveFile = [&] { return dir.path(); };
    test::Click(view->findChild<QPushButton*>(QStringLiteral("Save")));
    EXPECT_TRUE(outcome->text().startsWith(QStringLiteral("Cannot write %1").arg(dir.path()))) << outcome->text().toStdString();
    view->askSaveFile = [] { return QString(); };
    outcome->clear();
    test::Click(view->findChild<QPushButton*>(QStringLiteral("Save")));
    EXPECT_TRUE(outcome->text().isEmpty());
}

TEST_F(ProtocolWindowTest, ReachableFromTheKeyboardAndNamedForScreenReaders) {
    const auto face = [](QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); };
    EXPECT_TRUE(face(&window)->text(QAccessible::Description).contains(QStringLiteral("Ctrl+L")));

    showMain();
    Press(&window, Qt::Key_L, Qt::ControlModifier);
    ProtocolWindow* view = protocol();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(test::WaitFor([&] { return QApplication::activeWindow() == view; }, 3000, test::RunEvents));
    EXPECT_EQ(QApplication::focusWidget(), lines());

    QAccessibleInterface* log = face(lines());
    EXPECT_EQ(log->text(QAccessible::Name), QStringLiteral("Protocol log"));
    EXPECT_EQ(log->role(), QAccessible::EditableText);
    EXPECT_TRUE(log->state().readOnly);
    for (const char* name : {"Copy", "Save", "Close"}) {
        QAccessibleInterface* button = face(view->findChild<QPushButton*>(QLatin1String(name)));
        EXPECT_EQ(button->role(), QAccessible::Button) << name;
        EXPECT_TRUE(button->text(QAccessible::Name).startsWith(QLatin1String(name))) << name;
    }

    // Tab leaves the log for the buttons instead of typing into it.
    Press(lines(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view->findChild<QPushButton*>(QStringLiteral("Copy")));
    Press(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view->findChild<QPushButton*>(QStringLiteral("Save")));
}

}  // namespace
