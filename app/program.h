#pragma once
// The program's objects in start-up order: the shared context, then the main, setup and
// counter windows' behaviour. The GUI, rzlctl and the tests each build one.

#include "app/context.h"
#include "ui/counter/tform3.h"
#include "ui/main/tform1.h"
#include "ui/screen.h"
#include "ui/setup/tform2.h"

namespace rzl {

struct Program {
    Program(DialogHost& dialogs, Clock& clock);

    Screen screen;
    Context ctx;
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
};

}  // namespace rzl
