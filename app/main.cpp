// rzl-ctrl: the desktop program. Builds the program objects and their windows in start-up
// order, applies the start-up options and runs the message loop. Exit code 0.
//
// Beyond the launch options (app/options.h) it takes, for pictures of its windows:
//   --screenshot FILE            grab a window to a PNG file, then quit
//   --screenshot-delay MS        wait this long after start first (default 2000)
//   --screenshot-window NAME     main (default), setup or counter
// With --demo, a picture run gives the demo module some outputs on, inputs active and counts.

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "app/options.h"
#include "app/program.h"
#include "sim/simulator.h"
#include "ui/counter/widgets/counter_window.h"
#include "ui/main/widgets/main_window.h"
#include "ui/setup/widgets/setup_window.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gui_host.h"

namespace {

void ShowFault(const char* what) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), QString::fromLocal8Bit(what));
}

// An exception from an event handler is shown and the loop goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& fault) {
            ShowFault(fault.what());
        } catch (...) {
            ShowFault("");
        }
        return false;
    }
};

struct PicturePlan {
    QString file;
    int delayMs = 2000;
    QString window = QStringLiteral("main");
};

const char* const kPictureHelp =
    "  --screenshot FILE         Grab a window to a PNG file after the delay, then quit.\n"
    "  --screenshot-delay MS     Wait this long after start first (default 2000).\n"
    "  --screenshot-window NAME  main (default), setup or counter.\n";

// Takes the picture options out of the argument list. False, with the problem, when one is unusable.
bool TakePicturePlan(QStringList& arguments, PicturePlan& plan, QString* problem) {
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString name = argument, value;
        bool inlineValue = false;
        if (const qsizetype eq = argument.indexOf(QLatin1Char('=')); eq > 0 && argument.startsWith(QLatin1String("--"))) {
            name = argument.left(eq);
            value = argument.mid(eq + 1);
            inlineValue = true;
        }
        if (name != QLatin1String("--screenshot") && name != QLatin1String("--screenshot-delay") &&
            name != QLatin1String("--screenshot-window")) {
            rest << argument;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                *problem = QStringLiteral("missing value for %1").arg(name);
                return false;
            }
            value = arguments[++i];
        }
        if (name == QLatin1String("--screenshot")) {
            plan.file = value;
        } else if (name == QLatin1String("--screenshot-delay")) {
            bool ok = false;
            plan.delayMs = value.toInt(&ok);
            if (!ok || plan.delayMs < 0) {
                *problem = QStringLiteral("--screenshot-delay needs milliseconds, not '%1'").arg(value);
                return false;
            }
        } else {
            plan.window = value;
            if (value != QLatin1String("main") && value != QLatin1String("setup") && value != QLatin1String("counter")) {
                *problem = QStringLiteral("--screenshot-window is main, setup or counter, not '%1'").arg(value);
                return false;
            }
        }
    }
    arguments = rest;
    return true;
}

// A module with something to show: DO0 and DO2 on, DI1 and DI3 active, some counts.
void GiveShowcaseState(rzl::sim::SimulatorThread& simulator) {
    rzl::sim::ModuleState state = simulator.state();
    state.doBits = 0x05;
    state.diBits = 0x0A;
    state.counters = {1287, 42, 0, 9, 0, 0, 0, 0};
    simulator.setState(state);
}

void Grab(QWidget* window, const QString& file) {
    if (!window->grab().save(file, "PNG")) std::fprintf(stderr, "rzl-ctrl: cannot write %s\n", qPrintable(file));
    QCoreApplication::exit(0);  // also ends the loop of a modal window
}

void PlanPicture(const PicturePlan& plan, rzl::Program& program, rzl::GuiDialogs& dialogs, rzl::MainWindow& main,
                 rzl::SetupWindow& setup, rzl::CounterWindow& counter) {
    QTimer::singleShot(plan.delayMs, &main, [&, plan] {
        if (plan.window == QLatin1String("main")) {
            Grab(&main, plan.file);
            return;
        }
        const bool forSetup = plan.window == QLatin1String("setup");
        QWidget* target = forSetup ? static_cast<QWidget*>(&setup) : &counter;
        QTimer::singleShot(800, target, [target, file = plan.file] { Grab(target, file); });
        // Through the main window's images when they are usable, as a user would open them.
        if (forSetup) {
            program.screen.main.image1Enabled ? program.form1.Image1Click() : dialogs.showSetupModal();
        } else {
            program.screen.main.image4Enabled ? program.form1.Image4Click() : dialogs.showCounterModal();
        }
    });
}

int Run() {
    QStringList arguments = QCoreApplication::arguments();
    PicturePlan picture;
    QString problem;
    if (!TakePicturePlan(arguments, picture, &problem)) {
        std::fprintf(stderr, "rzl-ctrl: %s\n", qPrintable(problem));
        return 2;
    }
    rzl::LaunchOptions options;
    QString text;
    switch (rzl::ParseDesktopArguments(arguments, options, &text)) {
    case rzl::LaunchParse::Help:
        std::printf("%s%s", qPrintable(text), kPictureHelp);
        return 0;
    case rzl::LaunchParse::Error:
        std::fprintf(stderr, "rzl-ctrl: %s\n", qPrintable(text));
        return 2;
    case rzl::LaunchParse::Run:
        break;
    }

    rzl::GuiDialogs dialogs;
    rzl::GuiClock clock;
    rzl::LaunchResources resources;
    rzl::Program program(dialogs, clock);
    if (!rzl::ApplyLaunchOptions(options, program.ctx, resources, &problem)) {
        QMessageBox::critical(nullptr, QStringLiteral("Error found!"), problem);
        return 1;
    }
    if (!picture.file.isEmpty() && resources.demo) GiveShowcaseState(resources.demo->simulator());

    rzl::MainWindow main(program);
    rzl::SetupWindow setup(program, &main);
    rzl::CounterWindow counter(program, &main);
    dialogs.attach(&main, &setup, &counter);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), main.size());
        frame.moveCenter(screen->availableGeometry().center());
        main.move(frame.topLeft());
    }
    main.show();
    if (!picture.file.isEmpty()) PlanPicture(picture, program, dialogs, main, setup, counter);
    QApplication::exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rzl-ctrl"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    rzl::InstallWindowFonts();
    try {
        return Run();
    } catch (const std::exception& fault) {
        ShowFault(fault.what());
    } catch (...) {
        ShowFault("");
    }
    return 0;
}
