#include "tests/controls/upgrade/UpgradeTestSupport.h"

namespace Qz_Upgrade::test {
namespace {

std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">\r\n";
}

}  // namespace

std::string PadText(const PadSpec& shape) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<XML_DIZ_INFO>\r\n";
    text += "<Program_Info>\r\n" + Element("Program_Name", shape.name) +
            Element("Program_Version", shape.version);
    if (!shape.sizeBytes.empty()) {
        text +=
            "<File_Info>\r\n" + Element("File_Size_Bytes", shape.sizeBytes) + "</File_Info>\r\n";
    }
    text += "</Program_Info>\r\n<Web_Info>\r\n<Application_URLs>\r\n" +
            Element("Application_XML_File_URL", shape.xmlUrl) +
            "</Application_URLs>\r\n<Download_URLs>\r\n" +
            Element("Primary_Download_URL", shape.downloads[0]) +
            Element("Secondary_Download_URL", shape.downloads[1]) +
            Element("Additional_Download_URL_1", shape.downloads[2]) +
            Element("Additional_Download_URL_2", shape.downloads[3]) +
            "</Download_URLs>\r\n</Web_Info>\r\n<Permissions>\r\n" + Element("EULA", shape.eula) +
            "</Permissions>\r\n";
    if (!shape.build.empty()) {
        text += Element("QZUPGRADE_Build", shape.build);
    }
    for (std::size_t i = 0; i < shape.fallbacks.size(); ++i) {
        text +=
            Element("QZUPGRADE_Additional_PAD_URL_" + std::to_string(i + 1), shape.fallbacks[i]);
    }
    return text + "</XML_DIZ_INFO>\r\n";
}

std::string Installer(std::size_t size, char fill) {
    std::string bytes(size, fill);
    bytes.replace(0, std::min<std::size_t>(2, size), std::string("MZ").substr(0, size));
    return bytes;
}

UpgradeTest::UpgradeTest()
    : boxes(std::make_shared<dialogs::ScriptedDialogs>()),
      launcher(std::make_shared<RecordingLauncher>()) {
    previousDialogs_ = dialogs::SetBackend(boxes);
    previousLauncher_ = win32::SetLauncher(launcher);
    machine.Folder("C:\\Program Files\\Velto");
    upgrade.SetMajor("1");
    upgrade.SetMinor("0");
    upgrade.SetRevision("12");
}

UpgradeTest::~UpgradeTest() {
    win32::SetLauncher(previousLauncher_);
    dialogs::SetBackend(previousDialogs_);
}

void UpgradeTest::LocalPad(const PadSpec& shape) {
    machine.File(kPADFile, PadText(shape));
    upgrade.SetPADFile(kPADFile);
}

PadSpec UpgradeTest::OnServer() const {
    PadSpec shape;
    shape.xmlUrl = server.Url("/velto/pad_file.xml");
    shape.downloads = {server.Url("/velto/setup.exe"), server.Url("/mirror/setup.exe"),
                       server.Url("/extra1/setup.exe"), server.Url("/extra2/setup.exe")};
    return shape;
}

std::vector<Box> UpgradeTest::Boxes() const {
    std::vector<Box> shown;
    for (const auto& box : boxes->MsgBoxes()) {
        shown.push_back({box.prompt, box.style, box.title});
    }
    return shown;
}

std::vector<std::string> UpgradeTest::Launched() const {
    std::vector<std::string> lines;
    for (const auto& request : launcher->requests) {
        lines.push_back(win32::DescribeLaunch(request));
    }
    return lines;
}

}  // namespace Qz_Upgrade::test
