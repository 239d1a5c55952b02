#include "ui/widgets/group_frame.h"

#include <QPainter>

namespace rzl {

namespace {

constexpr int kTitleLeft = 8;
const QColor kFrame(200, 200, 200);

}  // namespace

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // A group placed a little above its window's top edge still shows its whole caption.
    const int shift = qMax(0, -y());
    // Place the caption by its drawn glyphs: some faces report less ascent than they draw.
    const QRect ink = metrics.tightBoundingRect(title().isEmpty() ? QStringLiteral("H") : title());
    const int baseline = shift + 1 - qMin(ink.top(), -metrics.ascent());
    const int top = title().isEmpty() ? metrics.height() / 2 : baseline + ink.top() / 2;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kFrame);
    painter.drawRoundedRect(QRectF(0.5, top + 0.5, width() - 1, height() - top - 1), 3, 3);
    if (title().isEmpty()) return;
    const int advance = metrics.horizontalAdvance(title());
    painter.fillRect(QRect(kTitleLeft - 2, shift, advance + 4, baseline + metrics.descent() - shift),
                     palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(kTitleLeft, baseline, title());
}

}  // namespace rzl
