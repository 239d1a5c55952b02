#include "app/program.h"

namespace rzl {

Program::Program(DialogHost& dialogs, Clock& clock)
    : ctx(screen, dialogs, clock), form1(ctx), form2(ctx), form3(ctx) {
    form1.FormCreate();
    form2.FormCreate();
}

}  // namespace rzl
