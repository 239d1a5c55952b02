// rzl-ctrl: the desktop program. Reads its arguments (app/desktop_arguments.h), builds the
// program objects and their windows in start-up order, applies the start-up options and runs
// the message loop. Exit code 0; 2 for unusable arguments.
// With --demo, a picture run gives the demo module some outputs on, inputs active and counts.

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <exception>
#include <optional>

#include "app/desktop_arguments.h"
#include "app/program.h"
#include "core/standard_text.h"
#include "platform/standard_streams.h"
#include "sim/simulator.h"
#include "ui/counter/widgets/counter_window.h"
#include "ui/main/widgets/main_window.h"
#include "ui/setup/widgets/setup_window.h"
#include "ui/widgets/fonts.h"
#include "ui/widgets/gui_host.h"

namespace {

void ShowFault(const char* what) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), QString::fromUtf8(what));
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

// A module with something to show: DO0 and DO2 on, DI1 and DI3 active, some counts.
void GiveShowcaseState(rzl::sim::SimulatorThread& simulator) {
    rzl::sim::ModuleState state = simulator.state();
    state.doBits = 0x05;
    state.diBits = 0x0A;
    state.counters = {1287, 42, 0, 9, 0, 0, 0, 0};
    simulator.setState(state);
}

void Grab(QWidget* window, const QString& file) {
    if (!window->grab().save(file, "PNG")) rzl::WriteStandardText(stderr, QStringLiteral("rzl-ctrl: cannot write %1\n").arg(file));
    QCoreApplication::exit(0);  // also ends the loop of a modal window
}

void PlanPicture(const rzl::PicturePlan& plan, rzl::Program& program, rzl::GuiDialogs& dialogs, rzl::MainWindow& main,
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

int Run(const rzl::DesktopArguments& arguments) {
    const rzl::PicturePlan& picture = arguments.picture;
    QString problem;
    rzl::GuiDialogs dialogs;
    rzl::GuiClock clock;
    rzl::LaunchResources resources;
    rzl::Program program(dialogs, clock);
    if (!rzl::ApplyLaunchOptions(arguments.launch, program.ctx, resources, &problem)) {
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

// Qt's own options ("-platform offscreen", "-style fusion") are taken out by the application
// object, which needs a display; without them everything is read before it exists.
bool HasQtOptions(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1))
        if (argument.size() > 2 && argument.startsWith('-') && argument[1] != '-') return true;
    return false;
}

// Prints what the arguments ask for; the exit code, or nothing when the program should run.
std::optional<int> Answer(const rzl::ParsedArguments& parsed) {
    // Started from a console window, a Windows program with windows has no standard streams.
    if (parsed.result != rzl::ParseResult::Run) rzl::platform::UseParentConsole();
    return rzl::AnswerArguments(parsed, QStringLiteral("rzl-ctrl"), 2);
}

}  // namespace

int main(int argc, char** argv) {
    // Help, version and usage errors are answered before the application object exists, which
    // needs a display. What the program runs with is read again from the application's own list,
    // which on Windows comes from the UTF-16 command line: argv is in the ANSI code page there,
    // which cannot hold every file name.
    QStringList early;
    for (int i = 0; i < argc; ++i) early.append(QString::fromLocal8Bit(argv[i]));
    rzl::DesktopArguments settings;
    if (!HasQtOptions(early)) {
        if (const auto code = Answer(rzl::ParseDesktopArguments(early, settings))) return *code;
    }

    Application app(argc, argv);
    settings = {};
    if (const auto code = Answer(rzl::ParseDesktopArguments(QCoreApplication::arguments(), settings))) return *code;
    QApplication::setApplicationName(QStringLiteral("rzl-ctrl"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    rzl::InstallWindowFonts();
    try {
        return Run(settings);
    } catch (const std::exception& fault) {
        ShowFault(fault.what());
    } catch (...) {
        ShowFault("");
    }
    return 0;
}
