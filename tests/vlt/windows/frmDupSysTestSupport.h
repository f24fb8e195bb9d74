// The review window's tests: a machine with one group of each kind, the matcher filling the
// real window, and the small moves a user makes on its tree.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/forms/TreeView.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/frmDupSys.h"

namespace dupsystest {

// A DLL whose version resource holds the company and the version (as file and product
// version); the same arguments give the same bytes. With a Wine signature, one of Wine's own.
std::string Dll(const std::string& company, const std::string& version, std::uint64_t size = 0,
                const std::string& wineSignature = "");
// A DLL without version resource, at least `size` bytes long.
std::string BareDll(std::uint64_t size);

// One node as the tree shows it.
struct Shown {
    std::string parent;  // "" for a group
    std::string key;
    std::string text;
    int image = 0;
    friend bool operator==(const Shown&, const Shown&) = default;
};
std::ostream& operator<<(std::ostream& out, const Shown& node);

class DupSysTest : public windowstest::WindowsTest {
  protected:
    DupSysTest();

    // One group of each kind, in listing order:
    //   COMP.DLL  company names differ            (no recommendation, note)
    //   NEW.DLL   the newer copy first, no copy in the system folder
    //   QUES.DLL  no version information, contents differ  (no recommendation, note)
    //   REC.DLL   the newer copy in the system folder
    void StandardMachine();
    // Lists *.dll on C: and matches it into the window, as a scan does.
    void Match();

    // Every node, parents before children.
    std::vector<Shown> Tree() const;
    forms::Node Node(const std::string& key) const;
    std::vector<std::string> ChildKeys(const std::string& key) const;
    // Selects the node and runs the click handler, as a left click does.
    void Click(const std::string& key);
    // The mouse-down handler at the node's place in the shown window.
    void Press(const std::string& key, int button);
    std::vector<vlt::ActionEntry> Actions() const;
    std::string Status() const;
    // Titles of the message boxes shown so far.
    std::vector<std::string> Titles() const;

    std::shared_ptr<frmDupSys> window = std::make_shared<frmDupSys>();
};

}  // namespace dupsystest
