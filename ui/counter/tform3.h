#pragma once
// The counter window's behaviour, apart from its widgets.

#include <QObject>

namespace rzl {

struct Program;

class TForm3 : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Digital Input Counter ";

    explicit TForm3(Program& program);

    void FormActivate();            // rows DI4..DI7 usable only with all eight inputs
    void FormClose();               // resume polling
    void Image2Click();             // "Counter Refresh"
    void ClearClick(int input);     // SpeedButton1..8 clear DI0..DI7, then re-read

private:
    Program& p_;
};

}  // namespace rzl
