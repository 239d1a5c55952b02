#include "ui/counter/widgets/counter_window.h"

#include <QLabel>
#include <QPushButton>

#include "ui/program.h"
#include "ui/widgets/activation_watch.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/label_view.h"
#include "ui/widgets/picture_button.h"
#include "ui/widgets/render_scheduler.h"

namespace rzl {

namespace {

// Columns of the rows, and the top of each row: 24 pixels apart, a wider gap after DI3.
constexpr int kCaptionLeft = 12;
constexpr int kValueLeft = 128;
constexpr int kClearLeft = 260;
constexpr int kRowTops[8] = {21, 45, 69, 93, 125, 149, 173, 197};
constexpr int kRowHeight = 18;
constexpr QRect kRefresh{330, 21, 24, 24};

}  // namespace

CounterWindow::CounterWindow(Program& program, QWidget* parent)
    : QDialog(parent, kFixedDialogFlags),
      screen_(program.screen),
      form_(program.form3) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QString::fromLatin1(TForm3::kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    PrepareWindowFace(this, 11);

    const QFont rowFont = TahomaFont(15, true);
    for (int n = 0; n < 8; ++n) {
        // Label1, 3, ..., 15 name the rows; Label2, 4, ..., 16 hold the counts.
        captions_[n] = new QLabel(QStringLiteral("DI %1 Counter:").arg(n), this);
        captions_[n]->setObjectName(QStringLiteral("Label%1").arg(2 * n + 1));
        captions_[n]->setFont(rowFont);
        captions_[n]->move(kCaptionLeft, kRowTops[n]);
        captions_[n]->adjustSize();

        values_[n] = new QLabel(QStringLiteral("0"), this);
        values_[n]->setObjectName(QStringLiteral("Label%1").arg(2 * n + 2));
        values_[n]->setFont(rowFont);
        values_[n]->setAccessibleDescription(QStringLiteral("DI %1 count").arg(n));
        SetTextColour(values_[n], Qt::blue);
        values_[n]->setGeometry(kValueLeft, kRowTops[n], kClearLeft - kValueLeft - 8, captions_[n]->height());

        clears_[n] = new QPushButton(QStringLiteral("Clear"), this);
        clears_[n]->setObjectName(QStringLiteral("SpeedButton%1").arg(n + 1));
        clears_[n]->setAccessibleName(QStringLiteral("Clear DI %1 Counter").arg(n));
        // Focusable, yet never the window's default: Enter elsewhere must not clear DI0.
        clears_[n]->setAutoDefault(false);
        clears_[n]->setGeometry(kClearLeft, kRowTops[n], 49, kRowHeight);
        connect(clears_[n], &QPushButton::clicked, this, [this, n] { form_.ClearClick(n); });
    }
    // When the counts were read, or why they were not: above the rows.
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("CounterNote"));
    note_->setTextFormat(Qt::PlainText);
    note_->setGeometry(kCaptionLeft, 2, kRefresh.left() - kCaptionLeft - 4, 16);
    image2_ = new PictureButton(QStringLiteral(":/pictures/refresh.svg"), this);
    image2_->setObjectName(QStringLiteral("Image2"));
    image2_->setHint(QStringLiteral("Counter Refresh"));
    image2_->setGeometry(kRefresh);
    connect(image2_, &PictureButton::clicked, this, [this] { form_.Image2Click(); });
    // Tab follows the rows top to bottom, then the refresh picture.
    for (int n = 0; n + 1 < 8; ++n) setTabOrder(clears_[n], clears_[n + 1]);
    setTabOrder(clears_[7], image2_);

    new RenderScheduler(screen_, [this] { render(); }, this);
    new ActivationWatch(this, [this] { form_.FormActivate(); });
    connect(this, &QDialog::finished, this, [this] { form_.FormClose(); });
    render();
}

void CounterWindow::render() {
    const CounterView& view = screen_.counter;
    note_->setText(view.note);
    for (int n = 0; n < 8; ++n) {
        if (values_[n]->text() != view.values[n]) values_[n]->setText(view.values[n]);
        // A screen reader hears how old the count is, or that it was never read.
        values_[n]->setAccessibleDescription(view.note.isEmpty() ? QStringLiteral("DI %1 count").arg(n)
                                                                 : QStringLiteral("DI %1 count, %2").arg(n).arg(view.note));
        const bool usable = n < 4 || view.upperRowsEnabled;
        captions_[n]->setEnabled(usable);
        values_[n]->setEnabled(usable);
        clears_[n]->setEnabled(usable);
    }
}

}  // namespace rzl
