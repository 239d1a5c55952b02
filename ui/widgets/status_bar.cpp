#include "ui/widgets/status_bar.h"

#include <QLabel>
#include <QPainter>

namespace rzl {

namespace {

constexpr int kPad = 4;
const QColor kFace(240, 240, 240);
const QColor kLine(205, 205, 205);

}  // namespace

PanelStatusBar::PanelStatusBar(const QList<int>& panelWidths, QWidget* parent)
    : QWidget(parent), widths_(panelWidths) {
    for (int i = 0; i < widths_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setTextFormat(Qt::PlainText);
        panels_.append(label);
    }
}

void PanelStatusBar::setPanelText(int panel, const QString& text, const QString& detail) {
    QLabel* label = panels_.value(panel);
    if (!label) return;
    // A panel cuts what does not fit its width; the whole text stays at hand, with its cause.
    const QString whole = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
    if (label->text() == text && label->toolTip() == whole) return;
    const bool emptied = label->text().isEmpty() != text.isEmpty();
    label->setText(text);
    label->setToolTip(whole);
    label->setAccessibleDescription(whole);
    if (emptied) {
        placePanels();
        update();
    }
}

bool PanelStatusBar::spansToTheEnd(int panel) const {
    for (int i = panel + 1; i < panels_.size(); ++i)
        if (!panels_[i]->text().isEmpty()) return false;
    return true;
}

QString PanelStatusBar::panelText(int panel) const {
    const QLabel* label = panels_.value(panel);
    return label ? label->text() : QString();
}

void PanelStatusBar::resizeEvent(QResizeEvent*) { placePanels(); }

// A panel followed only by empty ones has their room too: a long status line is not cut at an
// empty neighbour.
void PanelStatusBar::placePanels() {
    int left = 0;
    for (int i = 0; i < panels_.size(); ++i) {
        const bool last = i + 1 == panels_.size() || spansToTheEnd(i);
        const int width = last ? qMax(0, this->width() - left) : widths_[i];
        panels_[i]->setGeometry(left + kPad, 1, qMax(0, width - 2 * kPad), height() - 1);
        left += width;
    }
}

void PanelStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kFace);
    painter.setPen(kLine);
    painter.drawLine(0, 0, width() - 1, 0);
    int left = 0;
    for (int i = 0; i + 1 < widths_.size() && !spansToTheEnd(i); ++i) {
        left += widths_[i];
        painter.drawLine(left - 1, 3, left - 1, height() - 3);
    }
}

}  // namespace rzl
