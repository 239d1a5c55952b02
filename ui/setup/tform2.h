#pragma once
// The setup window's behaviour, apart from its widgets.

#include <QObject>
#include <QString>

namespace rzl {

struct Program;

class TForm2 : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "rZL.Setup";

    explicit TForm2(Program& program);

    void FormCreate();
    void FormShow();       // the window was opened: its next activation fills the fields
    void FormActivate();   // fill the fields from DeviceInfo, once per opening
    void FormClose();      // resume polling; identify again once settings are known
    void CheckBox1Click(); // the static-IP box was ticked or cleared by the user
    void ShowStaticIpFields(bool on);

    // Apply and maintenance buttons.
    void Image1Click();   // firmware update
    void Image2Click();   // AP SSID write
    void Image3Click();   // Station SSID write
    void Image4Click();   // Wi-Fi mode
    void Image5Click();   // web key
    void Image6Click();   // location
    void Image7Click();   // reset to default
    void Image8Click();   // reboot
    void Image9Click();   // Modbus
    void Image10Click();  // static IP write or delete

    // True while one of the image actions runs; a click on any image meanwhile does nothing.
    bool operationRunning() const { return operationRunning_; }

private:
    Program& p_;
    bool fillOnActivate_ = false;  // opened, and not yet filled since
    bool operationRunning_ = false;  // held by SetupOperation
};

}  // namespace rzl
