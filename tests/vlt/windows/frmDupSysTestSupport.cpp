#include "tests/vlt/windows/frmDupSysTestSupport.h"

#include <QTreeWidgetItem>

#include "controls/file/QzFile.h"
#include "platform/forms/Twips.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/modVLTWork.h"

namespace dupsystest {

namespace {

std::string Bytes(const imagewriter::ImageSpec& shape) {
    const imagewriter::Image image = imagewriter::BuildImage(shape);
    return std::string(image.bytes.begin(), image.bytes.end());
}

}  // namespace

std::string Dll(const std::string& company, const std::string& version, std::uint64_t size,
                const std::string& wineSignature) {
    imagewriter::StringTable table;
    table.strings = {{"CompanyName", company},
                     {"FileVersion", version},
                     {"ProductVersion", version},
                     {"FileDescription", "Shared library"}};
    imagewriter::VersionInfo info;
    info.tables = {table};
    imagewriter::ImageSpec shape = imagewriter::VersionImage(info);
    shape.minimumSize = size;
    shape.wineSignature = wineSignature;
    return Bytes(shape);
}

std::string BareDll(std::uint64_t size) {
    imagewriter::ImageSpec shape;
    shape.minimumSize = size;
    return Bytes(shape);
}

std::ostream& operator<<(std::ostream& out, const Shown& node) {
    return out << "{" << node.parent << " | " << node.key << " | " << node.text << " | "
               << node.image << "}";
}

DupSysTest::DupSysTest() {
    LoadHost();
    vlt::Windows& windows = vlt::State().windows;
    windows.review = window;
    windows.unloadAllForms = [] {
        for (forms::Form* form : forms::LoadedForms()) {
            form->Unload();
        }
    };
}

void DupSysTest::StandardMachine() {
    machine.File("C:\\APP\\COMP.DLL", Dll("Korvane", "1.0"))
        .File("C:\\OTHER\\COMP.DLL", Dll("Other Maker", "1.0"))
        .File("C:\\APP\\NEW.DLL", Dll("Korvane", "2.0"))
        .File("C:\\OLD\\NEW.DLL", Dll("Korvane", "1.0"))
        .File("C:\\APP\\QUES.DLL", BareDll(3000))
        .File("C:\\OLD\\QUES.DLL", BareDll(6000))
        .File("C:\\APP\\REC.DLL", Dll("Korvane", "1.0"))
        .File("C:\\WINDOWS\\SYSTEM\\REC.DLL", Dll("Korvane", "2.0"));
}

void DupSysTest::Match() {
    Qz_File::QzFile& file = vlt::QzFile1();
    file.SetPaths("C:\\;");
    file.SetFilter("*.dll");
    file.SetIncludeSubDirectories(true);
    ASSERT_TRUE(file.LoadFileListing(true));
    progress->Show();
    modVLTWork::LoadDups();
}

std::vector<Shown> DupSysTest::Tree() const {
    std::vector<Shown> nodes;
    for (const forms::Node& node : window->TreeView1->AllNodes()) {
        const forms::Node parent = node.Parent();
        nodes.push_back({parent ? parent.Key() : "", node.Key(), node.Text(), node.Image()});
    }
    return nodes;
}

forms::Node DupSysTest::Node(const std::string& key) const {
    return window->TreeView1->Nodes(key);
}

std::vector<std::string> DupSysTest::ChildKeys(const std::string& key) const {
    std::vector<std::string> keys;
    for (forms::Node child = Node(key).Child(); child; child = child.Next()) {
        keys.push_back(child.Key());
    }
    return keys;
}

void DupSysTest::Click(const std::string& key) {
    const forms::Node node = Node(key);
    window->TreeView1->SetSelectedItem(node);
    window->TreeView1_NodeClick(node);
}

void DupSysTest::Press(const std::string& key, int button) {
    window->Show();
    forms::TreeView& tree = *window->TreeView1;
    const QRect rect = tree.visualItemRect(Node(key).Item());
    const QPoint inTree = tree.viewport()->mapTo(&tree, rect.center());
    window->TreeView1_MouseDown(button, 0, forms::PixelsToTwips(inTree.x()),
                                forms::PixelsToTwips(inTree.y()));
}

std::vector<vlt::ActionEntry> DupSysTest::Actions() const {
    const vlt::VltState& state = vlt::State();
    return {state.ActionList.begin(), state.ActionList.begin() + state.ActionCount};
}

std::string DupSysTest::Status() const {
    return window->StatusBar1->SimpleText();
}

std::vector<std::string> DupSysTest::Titles() const {
    std::vector<std::string> titles;
    for (const auto& box : dialogs->MsgBoxes()) {
        titles.push_back(box.title);
    }
    return titles;
}

}  // namespace dupsystest
