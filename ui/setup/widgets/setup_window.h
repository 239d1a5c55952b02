#pragma once
// The setup window TForm2: shows the setup record, writes what the user types or ticks back
// into it, and forwards the picture buttons to TForm2.

#include <QDialog>

namespace rzl {

class Screen;
class TForm2;
struct Program;

class SetupWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 701;
    static constexpr int kClientHeight = 367;

    explicit SetupWindow(Program& program, QWidget* parent = nullptr);

    void render();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void wire();

    Screen& screen_;
    TForm2& form_;
    bool rendering_ = false;  // widget signals raised by render() are not the user's
};

}  // namespace rzl
