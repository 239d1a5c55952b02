#pragma once
// The counter window's behaviour, apart from its widgets.

#include <QObject>

namespace rzl {

class Context;

class TForm3 : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Digital Input Counter ";

    explicit TForm3(Context& ctx);

    void FormActivate();            // rows DI4..DI7 usable only with all eight inputs
    void FormClose();               // resume polling
    void Image2Click();             // "Counter Refresh"
    void ClearClick(int input);     // SpeedButton1..8 clear DI0..DI7, then re-read

private:
    Context& ctx_;
};

}  // namespace rzl
