#pragma once
// A clickable picture with a hint, as the windows' image buttons. Disabled, it shows its
// picture greyed and ignores clicks. Wide buttons carry their words beside the picture.
// It takes focus from Tab, draws a dotted frame while it has it, and Space, Enter and Return
// click it.

#include <QAbstractButton>
#include <QIcon>

namespace rzl {

class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    // `picture` is a resource path such as ":/pictures/setup.svg".
    PictureButton(const QString& picture, QWidget* parent = nullptr);

    // Tooltip and accessible name.
    void setHint(const QString& hint);
    // Words drawn on the picture, right of its symbol (the wide buttons).
    void setWords(const QString& words);
    QString words() const { return words_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap picture(QIcon::Mode mode) const;

    QString picturePath_;
    QString words_;
};

}  // namespace rzl
