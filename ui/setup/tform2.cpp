#include "ui/setup/tform2.h"

#include "app/context.h"

namespace rzl {

TForm2::TForm2(Context& ctx) : ctx_(ctx) {}

void TForm2::FormCreate() { ShowStaticIpFields(false); }
void TForm2::FormActivate() {}
void TForm2::FormClose() {}
void TForm2::CheckBox1Click() { ShowStaticIpFields(ctx_.screen.setup.checkBox1); }

void TForm2::ShowStaticIpFields(bool on) {
    ctx_.screen.setup.staticFieldsEnabled = on;
    ctx_.screen.setup.checkBox1 = on;
    ctx_.screen.changed();
}

// The write, maintenance and firmware operations arrive with their own modules.
void TForm2::Image1Click() {}
void TForm2::Image2Click() {}
void TForm2::Image3Click() {}
void TForm2::Image4Click() {}
void TForm2::Image5Click() {}
void TForm2::Image6Click() {}
void TForm2::Image7Click() {}
void TForm2::Image8Click() {}
void TForm2::Image9Click() {}
void TForm2::Image10Click() {}

bool IsValidIpText(const QString&) { return false; }

}  // namespace rzl
