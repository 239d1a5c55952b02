#include "ui/program.h"

#include "link/default_seams.h"

namespace rzl {

Program::Program(DialogHost& dialogs_, Clock& clock)
    : dialogs(dialogs_),
      ctx(display, clock),
      form1(*this),
      form2(*this),
      form3(*this),
      search(ctx, screen, dialogs_, [this](const QString& address) {
          // As typing the address and pressing Static IP.
          screen.main.edit2 = address;
          screen.changed();
          form1.SpeedButton5Click();
      }) {
    WireDefaultSeams(ctx);
    form1.FormCreate();
    form2.FormCreate();
}

}  // namespace rzl
