#include "ui/widgets/picture_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#ifdef RZL_PICTURES_PNG
#include <QPixmap>
#else
#include <QSvgRenderer>
#endif

#include "ui/widgets/fonts.h"

// Resources of a static library are not registered unless something refers to them.
static void InitPictureResources() {
    static bool done = false;
    if (done) return;
    done = true;
    Q_INIT_RESOURCE(pictures);
}

namespace rzl {

namespace {

constexpr int kWordsLeft = 32;  // the wide pictures keep their symbol in the first 32 pixels

}  // namespace

PictureButton::PictureButton(const QString& picture, QWidget* parent)
    : QAbstractButton(parent), picturePath_(picture) {
    InitPictureResources();
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void PictureButton::setHint(const QString& hint) {
    setToolTip(hint);
    setAccessibleName(hint);
}

void PictureButton::setWords(const QString& words) {
    words_ = words;
    if (accessibleName().isEmpty()) setAccessibleName(words);
    update();
}

QSize PictureButton::sizeHint() const { return QSize(24, 24); }

void PictureButton::keyPressEvent(QKeyEvent* event) {
    // Space is the button's own key; Enter and Return click it too, as on a dialog's buttons.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (isEnabled()) click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

bool PictureButton::event(QEvent* event) {
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave) update();
    return QAbstractButton::event(event);
}

QPixmap PictureButton::picture(QIcon::Mode mode) const {
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(size() * ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
#ifdef RZL_PICTURES_PNG
        // Built without Qt Svg: the pictures were rendered to large PNGs at build time.
        QString png = picturePath_;
        png.replace(QLatin1String(".svg"), QLatin1String(".png"));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(pixmap.rect(), QPixmap(png));
#else
        QSvgRenderer renderer(picturePath_);
        renderer.render(&painter);
#endif
    }
    pixmap.setDevicePixelRatio(ratio);
    if (mode == QIcon::Normal) return pixmap;
    QStyleOption option;
    option.initFrom(this);
    return style()->generatedIconPixmap(mode, pixmap, &option);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const bool hot = enabled && underMouse();
    if (hot && words_.isEmpty()) {
        // The small pictures get a soft halo under the pointer; the wide ones lighten instead.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 120, 215, isDown() ? 60 : 32));
        painter.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 4, 4);
    }
    if (isDown()) painter.translate(0, 1);
    painter.drawPixmap(0, 0, picture(enabled ? QIcon::Normal : QIcon::Disabled));
    if (hot && !words_.isEmpty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, isDown() ? 20 : 45));
        painter.drawRoundedRect(rect().adjusted(1, 1, -2, -2), 4, 4);
    }
    if (!words_.isEmpty()) {
        painter.setFont(TahomaFont(12, true));
        painter.setPen(enabled ? QColor(255, 255, 255) : QColor(245, 245, 245));
        const QRect area = rect().adjusted(kWordsLeft, 0, -6, 0);
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignHCenter, words_);
    }
    if (hasFocus()) {
        // The keyboard's place: a dotted frame inside the edge, in the text colour (white on the
        // dark wide pictures).
        painter.resetTransform();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(words_.isEmpty() ? palette().color(QPalette::WindowText) : QColor(255, 255, 255), 1,
                            Qt::DotLine));
        const int inset = words_.isEmpty() ? 0 : 2;
        painter.drawRect(rect().adjusted(inset, inset, -1 - inset, -1 - inset));
    }
}

}  // namespace rzl
