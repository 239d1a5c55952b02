#pragma once
// A group box drawn the classic way: a thin frame whose caption sits in its top line. Without
// a caption the frame still starts half a line down, where a title label can cut into it.

#include <QGroupBox>

namespace rzl {

class GroupFrame : public QGroupBox {
    Q_OBJECT
public:
    explicit GroupFrame(const QString& title = QString(), QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace rzl
