#pragma once
// The counter window TForm3: eight counter rows, each with its Clear button, and a refresh
// picture. Renders the counter record and forwards clicks to TForm3.

#include <QDialog>
#include <array>

class QLabel;
class QPushButton;

namespace rzl {

class Screen;
class PictureButton;
class TForm3;
struct Program;

class CounterWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 362;
    static constexpr int kClientHeight = 226;

    explicit CounterWindow(Program& program, QWidget* parent = nullptr);

    void render();

private:
    Screen& screen_;
    TForm3& form_;
    std::array<QLabel*, 8> captions_{};
    std::array<QLabel*, 8> values_{};
    std::array<QPushButton*, 8> clears_{};
    PictureButton* image2_ = nullptr;
    QLabel* note_ = nullptr;
};

}  // namespace rzl
