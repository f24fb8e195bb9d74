// vlt: finds old duplicate copies of system files on an emulated Windows machine, a Wine
// prefix or a Windows installation on a disk.
//
// The machine comes from --machine DIR (or a prefix's name such as steam:220), $VELTO_MACHINE
// or the default folder (--user NAME chooses the user of a Windows installation); a machine
// that may only be checked (Windows on it hibernated, mounted read-only) is refused as one that
// cannot be opened. The program's
// own command line (-S for the unattended run, -TRACE...) is what is left after the host
// options. Without a machine it says so on stderr and ends with status 2; started from the
// desktop's menu (--desktop) with a display, a window lists the Wine prefixes found and says
// how to choose another folder or make the demo machine. The machine is held (its lock,
// MachineLock.h) for the whole run, so a second run on it is refused. Without a display only
// the unattended run can run: Qt starts on its offscreen platform and message boxes go to the
// console; the windows would wait for ever where nobody sees them, so the interactive start is
// refused. The program lives while a form is loaded; when it ends, a restart that it asked for
// is carried out as the machine's start (the moves it scheduled happen then). Exit status: 0
// after an orderly close, 1 after an abend, 2 when the arguments, the display or the machine
// (its profile, its lock, or for the unattended run its registry) cannot be used, 3 when the
// run closed in order but its restart did not carry out every move it was to (one failed, or
// the machine could not be started).
#include <QTimer>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "controls/file/picker/frmDirListing.h"
#include "platform/automation/Format.h"
#include "platform/dialogs/App.h"
#include "platform/forms/Application.h"
#include "platform/forms/Form.h"
#include "platform/kinds/MachineKinds.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineError.h"
#include "platform/win32/user32/ExitWindows.h"
#include "platform/wine/prefixes/PrefixFinder.h"
#include "platform/wine/prefixes/PrefixNames.h"
#include "vlt/HostOptions.h"
#include "vlt/NoMachineWindow.h"
#include "vlt/core/ModVelto.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/RunSummary.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/windows/VltWindows.h"

namespace {

constexpr const char* kUsage =
    "Usage: vlt [--machine DIR|NAME] [--user NAME] [--desktop] [PROGRAM ARGUMENTS...]\n"
    "Finds old duplicate copies of system files on an emulated Windows machine, a\n"
    "Wine prefix or a Windows installation on a disk.\n"
    "\n"
    "Host options (taken out before the program sees its command line):\n"
    "  --machine DIR  the machine folder, Wine prefix or mounted Windows partition\n"
    "                 (else $VELTO_MACHINE, else $XDG_DATA_HOME/velto/machine)\n"
    "  --machine NAME a Wine prefix by its launcher's name for it: steam:APPID,\n"
    "                 lutris:SLUG, bottles:NAME, heroic:APPNAME, playonlinux:NAME,\n"
    "                 crossover:BOTTLE, wine:default (velto-machine prefixes lists them)\n"
    "  --user NAME    the user of a Windows installation with several users\n"
    "  --desktop      started from the desktop's menu: without a machine, a window\n"
    "                 lists the Wine prefixes found and lets you choose one, another\n"
    "                 folder or the demo machine\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n"
    "  --             end of host options\n"
    "\n"
    "Program arguments (joined by blanks into the program's command line):\n"
    "  -S, -s         unattended run: one scan, automatic repair, the action report,\n"
    "                 then the machine's restart\n"
    "  -TRACE[TYPES][:NAME]  trace into VLT.trc (or NAME_GlobalControls.trc) in the\n"
    "                 program's folder\n";

// Runs the event loop while a form is loaded and the program has neither closed nor abended.
// A request to end Windows (the restore window's restart, say) closes the program as the
// session's end would.
void RunWhileAFormIsLoaded(forms::Application& app) {
    const auto ended = [] {
        const vlt::VltState& state = vlt::State();
        return state.Closing || state.Abended || forms::LoadedForms().empty();
    };
    if (ended()) {
        return;
    }
    app.qt().setQuitOnLastWindowClosed(false);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        vlt::RunEventHandler(QzBase::EndIfWindowsIsEnding);
        if (ended()) {
            app.qt().quit();
        }
    });
    watch.start(100);
    app.qt().exec();
}

}  // namespace

int main(int argc, char** argv) {
    const vltmain::HostOptions options =
        vltmain::ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::cerr << "vlt: " << options.error << "\nTry 'vlt --help' for more information.\n";
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    const dialogs::AppObject& app = dialogs::App();
    if (options.version) {
        std::cout << "vlt (" << app.ProductName() << ") " << app.Major() << "." << app.Minor()
                  << "." << app.Revision() << "\n"
                  << app.LegalCopyright() << "\n";
        return 0;
    }
    // The program reads -S from its own command line, anywhere in it.
    vlt::State().CommandLine = options.commandLine;
    const bool unattended = modVLTProperties::GoScan();
    if (!unattended &&
        forms::HeadlessPlatform(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                                std::getenv("QT_QPA_PLATFORM"))) {
        std::cerr << "vlt: there is no display ($DISPLAY and $WAYLAND_DISPLAY are unset), so "
                     "the windows cannot be shown; without one only the unattended run works: "
                     "vlt -S\n";
        return 2;
    }
    const std::string holder = unattended ? "vlt -S" : "vlt";
    std::optional<std::string> named = options.machine;
    try {
        if (named) {
            named = wine::prefixes::ResolveMachineArgument(*named);
        }
    } catch (const machine::MachineError& error) {
        std::cerr << "vlt: " << error.what() << "\n";
        return 2;
    }
    const machine::MachineLocation location = machine::ChooseMachineFolder(named);
    std::shared_ptr<machine::Machine> chosen;
    std::string problem;
    try {
        chosen = kinds::OpenChosenMachine(location, holder, {options.user});
    } catch (const machine::MachineError& error) {
        problem = error.what();
        std::cerr << "vlt: " << problem << "\n";
        if (!options.desktop) {
            return 2;
        }
    }
    automation::SetLocale(automation::Locale::FromHost());

    // Qt sees only the program's name: the program's own switches are no Qt options.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    forms::Application qt(qtArgc, qtArgv);
    if (!chosen) {
        // Started from the menu: nobody reads standard error there. Without a display there
        // is nobody to ask either.
        if (qt.Headless()) {
            return 2;
        }
        vltmain::NoMachineWindow window(location, problem);
        window.holder = holder;
        window.options = {options.user};
        window.ShowPrefixes(wine::prefixes::FindPrefixes(wine::prefixes::Home::FromEnvironment()));
        chosen = window.Ask();
        if (!chosen) {
            return 2;
        }
    }
    machine::SetCurrentMachine(chosen);
    vltwindows::InstallWindows();
    // QzFile's folder picker is a window; the control reaches it through this seam.
    Qz_File::InstallDirectoryPicker();
    vlt::RunEventHandler([] { ModVelto::Main(); });
    RunWhileAFormIsLoaded(qt);
    const bool abended = vlt::State().Abended;
    const bool unusable = vlt::State().MachineUnusable;
    if (unattended) {
        for (const std::string& line : vlt::RunSummary()) {
            std::cout << line << std::endl;
        }
    }
    // The forms and controls go while Qt is still there; the trace control writes its
    // end-of-run block as it goes.
    vlt::ResetState();

    if (const auto restart = win32::RunPendingRestart(
            [](const std::string& line) { std::cout << "restart: " << line << std::endl; },
            win32::BootKeep::Summary);
        restart && restart->failed) {
        std::cerr << (restart->failures > 0
                          ? "vlt: some of the moves scheduled for the restart failed\n"
                          : "vlt: the restart did not carry out the moves scheduled for it; "
                            "they still wait (the lines above say which)\n");
        if (!abended) {
            return 3;
        }
    }
    return abended ? 1 : unusable ? 2 : 0;
}
