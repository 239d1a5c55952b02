#pragma once
// The desktop program's objects in start-up order: the windows' records and the display that
// writes the core's events into them, the core's context, then the main, setup and counter
// windows' behaviour and the search. The desktop program and the tests each build one; the
// widgets show it.

#include "core/clock.h"
#include "core/context.h"
#include "ui/counter/tform3.h"
#include "ui/main/tform1.h"
#include "ui/screen.h"
#include "ui/screen_display.h"
#include "ui/search/module_search.h"
#include "ui/setup/tform2.h"

namespace rzl {

struct Program {
    Program(DialogHost& dialogs, Clock& clock);

    Screen screen;
    DialogHost& dialogs;
    ScreenDisplay display{screen, dialogs};
    Context ctx;
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
    ModuleSearch search;
};

}  // namespace rzl
