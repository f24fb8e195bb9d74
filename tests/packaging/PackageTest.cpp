// The Debian package as a user gets it: built by CPack, lintian-clean, installed with dpkg into
// an empty root (the fixture velto_package), and run from there: the demo works from the
// installed files, also once the installed tree has moved; the menu entry, the AppStream
// metainfo and the manual pages pass their validators, and the manual pages and the
// completion of bash, zsh and fish say what --help says.

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProgramRun;
using testsupport::RunProgram;

const fs::path kOut = VELTO_PACKAGE_OUT;
const fs::path kRoot = kOut / "root";
const std::string kDeb = (kOut / ("velto_" VELTO_VERSION_TEXT "_amd64.deb")).string();

ProgramRun Shell(const std::string& script) {
    return RunProgram({"/bin/bash", "-c", script});
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every run of blanks as one blank, so text compares across line breaks.
std::string Squeezed(const std::string& text) {
    return std::regex_replace(text, std::regex("\\s+"), " ");
}

// A manual page as man shows it, on one wide line per paragraph, without hyphenation.
std::string ManPage(const std::string& name) {
    const ProgramRun run = Shell("LC_ALL=C MANWIDTH=200 man -l '" +
                                 (kRoot / "usr/share/man/man1" / (name + ".1.gz")).string() +
                                 "' 2>/dev/null | col -b");
    EXPECT_EQ(run.status, 0);
    return Squeezed(run.out);
}

TEST(Package, IsALintianCleanDebWithComputedDependenciesAndNoScripts) {
    ASSERT_TRUE(fs::exists(kDeb)) << kDeb;
    const ProgramRun fields = RunProgram({"dpkg-deb", "-f", kDeb, "Package", "Version", "Depends"});
    EXPECT_NE(fields.out.find("Package: velto\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Version: " VELTO_VERSION_TEXT "\n"), std::string::npos);
    // Found by dpkg-shlibdeps in the binaries, not written by hand.
    for (const char* library : {"libqt6widgets6", "libsqlite3-0", "libcurl4", "libc6"}) {
        EXPECT_NE(fields.out.find(library), std::string::npos) << library << "\n" << fields.out;
    }
    const ProgramRun control = RunProgram({"dpkg-deb", "-I", kDeb});
    for (const char* script : {"preinst", "postinst", "prerm", "postrm"}) {
        EXPECT_EQ(control.out.find(script), std::string::npos) << control.out;
    }
    const ProgramRun lintian = RunProgram({"lintian", "--fail-on", "error,warning", kDeb});
    EXPECT_EQ(lintian.status, 0) << lintian.out << lintian.err;
    EXPECT_EQ(lintian.out, "");
}

TEST(Package, DependenciesAreThisDebianSystemsPackages) {
    const ProgramRun depends = RunProgram({"dpkg-deb", "-f", kDeb, "Depends"});
    std::istringstream list(depends.out);
    int checked = 0;
    for (std::string item; std::getline(list, item, ',');) {
        const std::string name = std::regex_replace(item, std::regex("^\\s*([^ (]+).*\\s*$"), "$1");
        const ProgramRun status = RunProgram({"dpkg-query", "-W", "-f=${Status}", name});
        EXPECT_EQ(status.out, "install ok installed") << name;
        ++checked;
    }
    EXPECT_GT(checked, 3);
}

TEST(Package, TheDemoRunsFromTheInstalledFiles) {
    const ProgramRun version = RunProgram({(kRoot / "usr/bin/vlt").string(), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("vlt (Velto) " VELTO_VERSION_TEXT "\n")) << version.out;

    // tools/demo.sh with the installed programs: create, info, the unattended run, restart.
    const fs::path demo = kOut / "demo";
    fs::create_directories(demo);
    const ProgramRun run = Shell("VELTO_BIN='" + (kRoot / "usr/bin").string() + "' '" +
                                 VELTO_DEMO_SCRIPT + "' '" + demo.string() + "'");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // The program's files come from the installed share/velto.
    EXPECT_NE(run.out.find("from " + (kRoot / "usr/share/velto").string()), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("vlt ended with status 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("wininit.ini line"), std::string::npos) << run.out;

    // After the repair only the group without a recommendation is left.
    const ProgramRun check = RunProgram(
        {(kRoot / "usr/bin/velto-machine").string(), "check", (demo / "demo-machine").string()});
    EXPECT_EQ(check.status, 1) << check.out << check.err;
    EXPECT_NE(check.out.find("TESSUTIL.DLL: no copy is recommended"), std::string::npos)
        << check.out;
}

TEST(Package, AMovedInstallationStillFindsItsLibrariesAndResources) {
    // A copy of the installed tree somewhere else entirely.
    const fs::path moved = kOut / "moved" / "opt" / "velto";
    fs::remove_all(kOut / "moved");
    fs::create_directories(moved.parent_path());
    fs::copy(kRoot / "usr", moved, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const ProgramRun created =
        RunProgram({(moved / "bin/velto-machine").string(), "create", (kOut / "moved/m").string()});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_NE(created.out.find("from " + (moved / "share/velto").string()), std::string::npos)
        << created.out;
    // Each of its own libraries is loaded from the moved tree.
    const ProgramRun libraries = RunProgram({"ldd", (moved / "bin/vlt").string()});
    int own = 0;
    std::istringstream lines(libraries.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("libvelto_") != std::string::npos ||
            line.find("libQz") != std::string::npos) {
            EXPECT_NE(line.find(moved.string()), std::string::npos) << line;
            ++own;
        }
    }
    EXPECT_GT(own, 5) << libraries.out;
    const ProgramRun version = RunProgram({(moved / "bin/vlt").string(), "--version"});
    EXPECT_EQ(version.status, 0) << version.err;

    // The programs name their libraries relative to themselves; nothing names the build.
    const ProgramRun runpath = Shell("readelf -d '" + (moved / "bin/vlt").string() + "'");
    EXPECT_NE(runpath.out.find("[$ORIGIN/../lib/"), std::string::npos) << runpath.out;
    const ProgramRun grep = RunProgram({"grep", "-rlF", VELTO_SOURCE_DIR, moved.string()});
    EXPECT_EQ(grep.out, "") << "files naming the checkout";
}

TEST(Package, DesktopEntryMetainfoIconsAndManualPagesPassTheirChecks) {
    const fs::path share = kRoot / "usr/share";
    const ProgramRun desktop = RunProgram(
        {"desktop-file-validate", (share / "applications/example.korvane.velto.desktop")});
    EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
    EXPECT_EQ(desktop.out, "");
    const ProgramRun metainfo =
        RunProgram({"appstreamcli", "validate", "--no-net",
                    (share / "metainfo/example.korvane.velto.metainfo.xml").string()});
    EXPECT_EQ(metainfo.status, 0) << metainfo.out << metainfo.err;
    EXPECT_NE(Read(share / "metainfo/example.korvane.velto.metainfo.xml").find("<screenshot "),
              std::string::npos);

    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string edge = std::to_string(size);
        const std::string png =
            Read(share / "icons/hicolor" / (edge + "x" + edge) / "apps/example.korvane.velto.png");
        ASSERT_GT(png.size(), 24u) << size;
        // The PNG header's width and height, big-endian at bytes 16 and 20.
        const auto word = [&](std::size_t at) {
            return (static_cast<unsigned char>(png[at]) << 24) |
                   (static_cast<unsigned char>(png[at + 1]) << 16) |
                   (static_cast<unsigned char>(png[at + 2]) << 8) |
                   static_cast<unsigned char>(png[at + 3]);
        };
        EXPECT_EQ(word(16), size);
        EXPECT_EQ(word(20), size);
    }
    EXPECT_TRUE(fs::exists(share / "icons/hicolor/scalable/apps/example.korvane.velto.svg"));

    for (const char* page : {"vlt", "velto-machine"}) {
        const ProgramRun warnings =
            Shell(std::string("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '") +
                  (share / "man/man1" / (std::string(page) + ".1.gz")).string() + "' >/dev/null");
        EXPECT_EQ(warnings.status, 0) << page;
        EXPECT_EQ(warnings.err, "") << page;
    }
}

TEST(Package, ManualPagesAndCompletionSayWhatHelpSays) {
    // vlt: every option of --help is in the manual page, and every option the page names is
    // in --help.
    const ProgramRun vltHelp = RunProgram({(kRoot / "usr/bin/vlt").string(), "--help"});
    const std::string vltPage = ManPage("vlt");
    const std::regex option("(^|[ \\[(])(--?[A-Za-z][-A-Za-z]*)");
    const auto options = [&](const std::string& text) {
        std::set<std::string> found;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
             it != std::sregex_iterator(); ++it) {
            found.insert((*it)[2]);
        }
        return found;
    };
    const std::set<std::string> helpOptions = options(vltHelp.out);
    EXPECT_TRUE(helpOptions.contains("--desktop"));
    for (const std::string& name : helpOptions) {
        EXPECT_NE(vltPage.find(name), std::string::npos) << name << " is not in vlt(1)";
    }
    // The page's own options: the OPTIONS section (the examples name velto-machine's).
    const std::size_t from = vltPage.find(" OPTIONS ");
    const std::size_t to = vltPage.find(" THE MACHINE FOLDER ");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    for (const std::string& name : options(vltPage.substr(from, to - from))) {
        EXPECT_TRUE(helpOptions.contains(name)) << name << " of vlt(1) is not in --help";
    }

    // velto-machine: each command's usage line of --help stands in the manual page as it is.
    const ProgramRun machineHelp =
        RunProgram({(kRoot / "usr/bin/velto-machine").string(), "--help"});
    const std::string machinePage = ManPage("velto-machine");
    std::set<std::string> commands;
    const std::regex usage("^  ([a-z]+)( [^\\n]*)?$");
    std::istringstream lines(machineHelp.out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_match(line, match, usage)) {
            commands.insert(match[1]);
            EXPECT_NE(machinePage.find(Squeezed(line.substr(2))), std::string::npos)
                << line << "\nis not in velto-machine(1)";
        }
    }
    EXPECT_TRUE(commands.contains("check"));

    // Each shell's completion offers exactly these commands (and help) after velto-machine,
    // and every option of vlt's --help after vlt.
    commands.insert("help");
    const fs::path share = kRoot / "usr/share";
    const std::string path = "PATH='" + (kRoot / "usr/bin").string() + "':$PATH; ";
    const auto words = [](const std::string& text) {
        std::set<std::string> found;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            found.insert(line.substr(0, line.find('\t')));
        }
        return found;
    };
    const std::string bash = ". /usr/share/bash-completion/bash_completion && . '" +
                             (share / "bash-completion/completions/velto-machine").string() +
                             "' && . '" + (share / "bash-completion/completions/vlt").string() +
                             "' && ";
    const ProgramRun bashCommands =
        Shell(path + bash +
              "COMP_WORDS=(velto-machine '') COMP_CWORD=1 COMP_LINE='velto-machine ' "
              "COMP_POINT=14 && _velto_machine && printf '%s\\n' \"${COMPREPLY[@]}\"");
    std::set<std::string> bashOffered = words(bashCommands.out);
    bashOffered.erase("--help");
    EXPECT_EQ(bashOffered, commands) << bashCommands.err;
    const ProgramRun zshCommands =
        Shell(path + "zsh -f -c 'fpath=(" + (share / "zsh/vendor-completions").string() +
              " $fpath); _describe() { local a=${@[-1]}; print -rl -- ${${(P)a}%%:*} }; "
              "_call_program() { shift; \"$@\" }; compadd() { }; words=(velto-machine \"\"); "
              "CURRENT=2; autoload -Uz _velto-machine; _velto-machine'");
    EXPECT_EQ(words(zshCommands.out), commands) << zshCommands.err;
    const std::string fish = "fish --no-config -c 'source " +
                             (share / "fish/vendor_completions.d/vlt.fish").string() +
                             "; complete -C \"";
    const ProgramRun fishCommands = Shell(path + fish + "velto-machine \"'");
    EXPECT_EQ(words(fishCommands.out), commands) << fishCommands.err;

    const ProgramRun bashOptions =
        Shell(path + bash +
              "COMP_WORDS=(vlt -) COMP_CWORD=1 COMP_LINE='vlt -' COMP_POINT=5 && _vlt && "
              "printf '%s\\n' \"${COMPREPLY[@]}\"");
    const ProgramRun fishOptions = Shell(path + fish + "vlt -\"'");
    for (const std::string& name : helpOptions) {
        EXPECT_TRUE(words(bashOptions.out).contains(name)) << name << bashOptions.err;
        EXPECT_TRUE(words(fishOptions.out).contains(name)) << name << fishOptions.err;
    }
    const ProgramRun zshSyntax =
        Shell("zsh -n " + (share / "zsh/vendor-completions/_vlt").string());
    EXPECT_EQ(zshSyntax.status, 0) << zshSyntax.err;
}

}  // namespace
