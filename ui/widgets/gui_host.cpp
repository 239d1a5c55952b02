#include "ui/widgets/gui_host.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace rzl {

namespace {

QMessageBox::Icon ToBoxIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::None: return QMessageBox::NoIcon;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::Exclamation: return QMessageBox::Warning;
    case BoxIcon::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString ToNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return filters.join(QStringLiteral(";;"));
}

void GuiDialogs::attach(QWidget* mainWindow, QDialog* setupWindow, QDialog* counterWindow) {
    main_ = mainWindow;
    setup_ = setupWindow;
    counter_ = counterWindow;
}

QWidget* GuiDialogs::owner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return main_.data();
}

void GuiDialogs::message(const QString& text, const QString& caption, BoxIcon icon) {
    QMessageBox box(ToBoxIcon(icon), caption, text, QMessageBox::Ok, owner());
    box.exec();
}

bool GuiDialogs::confirm(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> GuiDialogs::openFile(const QString& filter, const QString& defaultExtension) {
    QFileDialog dialog(owner());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(ToNameFilters(filter));
    // The extension comes as the filter writes it ("*.bin"); the dialog wants the bare suffix,
    // or a typed "r5000" would become "r5000.*.bin".
    QString suffix = defaultExtension;
    if (suffix.startsWith(QLatin1String("*."))) suffix.remove(0, 2);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void GuiDialogs::showSetupModal() {
    if (setup_) setup_->exec();
}

void GuiDialogs::showCounterModal() {
    if (counter_) counter_->exec();
}

void GuiClock::pause(int milliseconds) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        QCoreApplication::processEvents();
        const qint64 left = milliseconds - elapsed.elapsed();
        if (left <= 0) break;
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 10)));
    }
}

void GuiClock::pump() { QCoreApplication::processEvents(); }

}  // namespace rzl
