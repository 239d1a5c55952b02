#pragma once
// The program's objects in start-up order: the shared context, then the main, setup and
// counter windows' behaviour. The GUI, rzlctl and the tests each build one.

#include "core/context.h"
#include "core/screen.h"
#include "ui/counter/tform3.h"
#include "ui/main/tform1.h"
#include "ui/search/module_search.h"
#include "ui/setup/tform2.h"

namespace rzl {

// The working seams: the real reply dispatcher, the link check and this platform's network.
void WireDefaultSeams(Context& ctx);

struct Program {
    Program(DialogHost& dialogs, Clock& clock);

    Screen screen;
    Context ctx;
    TForm1 form1;
    TForm2 form2;
    TForm3 form3;
    ModuleSearch search;
};

}  // namespace rzl
