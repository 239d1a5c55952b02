#include "ui/main/widgets/protocol_window.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <QVBoxLayout>

#include "core/traffic_record.h"

namespace rzl {

namespace {
constexpr int kGap = 8;  // between the main window and this one
}

ProtocolWindow::ProtocolWindow(TrafficRecord& record, QWidget* parent)
    : QWidget(parent, Qt::Window), record_(record) {
    setObjectName(QStringLiteral("ProtocolWindow"));
    setWindowTitle(QStringLiteral("Protocol"));
    setAccessibleName(QStringLiteral("Protocol"));
    resize(720, 420);

    lines_ = new QPlainTextEdit(this);
    lines_->setObjectName(QStringLiteral("Lines"));
    lines_->setReadOnly(true);
    lines_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_->setMaximumBlockCount(TrafficRecord::kMaxEntries);
    lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lines_->setAccessibleName(QStringLiteral("Protocol log"));
    lines_->setAccessibleDescription(
        QStringLiteral("Every frame sent (>>) and received (<<) in hex with its time and command, and the log; newest last"));

    copy_ = new QPushButton(QStringLiteral("&Copy"), this);
    copy_->setObjectName(QStringLiteral("Copy"));
    copy_->setAccessibleDescription(QStringLiteral("Copies the selected lines, or all lines when none are selected"));
    save_ = new QPushButton(QStringLiteral("&Save..."), this);
    save_->setObjectName(QStringLiteral("Save"));
    save_->setAccessibleDescription(QStringLiteral("Writes all lines to a text file"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Close"));
    outcome_ = new QLabel(this);
    outcome_->setObjectName(QStringLiteral("Outcome"));
    outcome_->setAccessibleName(QStringLiteral("Save result"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(outcome_, 1);
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lines_, 1);
    layout->addLayout(buttons);

    connect(copy_, &QPushButton::clicked, this, &ProtocolWindow::copy);
    connect(save_, &QPushButton::clicked, this, &ProtocolWindow::save);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

    askSaveFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save protocol"), QStringLiteral("protocol.txt"),
                                            QStringLiteral("Text (*.txt);;All files (*)"));
    };

    for (const TrafficEntry& entry : record_.entries()) append(entry);
    connect(&record_, &TrafficRecord::added, this, &ProtocolWindow::append);
}

void ProtocolWindow::append(const TrafficEntry& entry) {
    lines_->appendPlainText(TrafficLine(entry));
    // Follow the newest line at its start (its time and command), unless the user is selecting.
    QTextCursor cursor = lines_->textCursor();
    if (cursor.hasSelection()) return;
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock);
    lines_->setTextCursor(cursor);
}

QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& room, int gap) {
    const int right = main.right() + 1 + gap, left = main.left() - gap - size.width();
    QPoint at(right, main.top());
    if (right + size.width() - 1 > room.right()) {
        // Left of the main window, or where neither side has room, on the roomier side and as
        // far as it must go to be seen whole.
        const bool leftFits = left >= room.left();
        at.setX(leftFits || main.left() - room.left() > room.right() - main.right() ? left : right);
    }
    at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
    return at;
}

void ProtocolWindow::showBeside(QWidget* beside) {
    const QScreen* screen = beside ? beside->screen() : nullptr;
    const bool place = !isVisible() && screen;
    if (place) move(PlaceBeside(beside->frameGeometry(), frameGeometry().size(), screen->availableGeometry(), kGap));
    show();
    // Its frame is known once it is shown; where that makes it stick out, it moves again.
    if (place && !screen->availableGeometry().contains(frameGeometry()))
        move(PlaceBeside(beside->frameGeometry(), frameGeometry().size(), screen->availableGeometry(), kGap));
    raise();
    activateWindow();
    lines_->setFocus();
}

void ProtocolWindow::copy() {
    QString selected = lines_->textCursor().selectedText();
    // A selection across lines comes with paragraph separators.
    QGuiApplication::clipboard()->setText(selected.isEmpty() ? lines_->toPlainText()
                                                             : selected.replace(QChar::ParagraphSeparator, u'\n'));
}

void ProtocolWindow::save() {
    const QString path = askSaveFile ? askSaveFile() : QString();
    if (path.isEmpty()) return;
    QFile file(path);
    QString text = lines_->toPlainText();
    if (!text.isEmpty()) text += u'\n';
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
        outcome_->setText(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
        return;
    }
    outcome_->setText(QStringLiteral("Saved %1 lines to %2").arg(QString::number(text.count(u'\n')), path));
}

}  // namespace rzl
