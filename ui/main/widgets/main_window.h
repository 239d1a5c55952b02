#pragma once
// The main window TForm1: renders the main view record and forwards clicks to TForm1.
// A QMainWindow, so assistive technologies meet it as the program's window (a frame with its
// title), not as a plain panel; its controls sit on it directly, placed by hand.

#include <QList>
#include <QMainWindow>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace rzl {

class Context;
class Screen;
class PanelStatusBar;
class PictureButton;
class ModuleSearch;
class ProtocolWindow;
class SearchWindow;
class RenderScheduler;
class Shape;
class TForm1;
struct Program;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 313;
    static constexpr int kClientHeight = 476;

    explicit MainWindow(Program& program, QWidget* parent = nullptr);

    // Shows the record at once (normally this waits for the next turn of the event loop).
    void render();

    // The protocol view beside this window (Ctrl+L); made on first use.
    ProtocolWindow* showProtocol();
    // Opens the search window; it sweeps when the user asks.
    SearchWindow* showSearch();

private:
    void build();
    void wire();

    Context& ctx_;
    Screen& screen_;
    TForm1& form_;
    ModuleSearch& search_;
    RenderScheduler* scheduler_ = nullptr;

    QGroupBox* groupBox1_ = nullptr;
    QGroupBox* groupBox2_ = nullptr;
    QLabel* label4_ = nullptr;
    QLabel* label5_ = nullptr;
    QLabel* label12_ = nullptr;
    QLabel* label13_ = nullptr;
    QLabel* label14_ = nullptr;
    QLabel* staleNote_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QPushButton* speedButton5_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    PictureButton* image1_ = nullptr;
    PictureButton* image2_ = nullptr;
    PictureButton* image3_ = nullptr;
    PictureButton* image4_ = nullptr;
    std::array<QLabel*, 8> diLabels_{};
    std::array<Shape*, 8> diShapes_{};
    std::array<Shape*, 6> doBars_{};
    std::array<QPushButton*, 6> doButtons_{};
    PanelStatusBar* statusBar1_ = nullptr;
    PanelStatusBar* statusBar2_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    ProtocolWindow* protocol_ = nullptr;
    SearchWindow* searchWindow_ = nullptr;
};

}  // namespace rzl
