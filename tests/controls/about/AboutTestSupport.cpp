#include "tests/controls/about/AboutTestSupport.h"

#include <QBuffer>
#include <QImage>

#include "platform/dialogs/ControlAbout.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/advapi32/Registry.h"
#include "tests/support/RegistrySeed.h"

namespace Qz_About::test {
namespace {

std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">\r\n";
}

}  // namespace

std::string PadText(const AboutPad& pad) {
    static const char* const kDescriptions[] = {"Char_Desc_2000", "Char_Desc_450", "Char_Desc_250",
                                                "Char_Desc_80", "Char_Desc_45"};
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<XML_DIZ_INFO>\r\n";
    text += "<Company_Info>\r\n" + Element("Company_Name", pad.companyName) +
            Element("Company_WebSite_URL", pad.companyURL) + "</Company_Info>\r\n";
    text += "<Program_Info>\r\n" + Element("Program_Name", pad.programName) +
            Element("Program_Version", pad.version) + Element("Program_Language", pad.language) +
            "</Program_Info>\r\n<Program_Descriptions>\r\n";
    for (const auto& [language, texts] : pad.descriptions) {
        text += "<" + language + ">\r\n";
        for (std::size_t i = 0; i < texts.size(); ++i) {
            text += Element(kDescriptions[i], texts[i]);
        }
        text += "</" + language + ">\r\n";
    }
    text += "</Program_Descriptions>\r\n<Web_Info>\r\n<Application_URLs>\r\n" +
            Element("Application_Order_URL", pad.orderURL) +
            Element("Application_Icon_URL", pad.iconURL) +
            "</Application_URLs>\r\n</Web_Info>\r\n<Permissions>\r\n" + Element("EULA", pad.eula) +
            "</Permissions>\r\n";
    if (!pad.build.empty()) {
        text += Element("QZUPGRADE_Build", pad.build);
    }
    for (const auto& [name, value] : pad.extensions) {
        text += Element("QZABOUT_" + name, value);
    }
    return text + "</XML_DIZ_INFO>\r\n";
}

std::string PngBytes() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

AboutTest::AboutTest()
    : boxes(std::make_shared<dialogs::ScriptedDialogs>()),
      launcher(std::make_shared<RecordingLauncher>()) {
    testsupport::SeedRegistry(machine);
    previousDialogs_ = dialogs::SetBackend(boxes);
    previousLauncher_ = win32::SetLauncher(launcher);
}

AboutTest::~AboutTest() {
    win32::SetLauncher(previousLauncher_);
    dialogs::SetBackend(previousDialogs_);
}

void AboutTest::WritePad(const AboutPad& pad, const std::string& path) {
    machine.File(path, PadText(pad));
}

std::optional<std::string> AboutTest::Cached(const std::string& padFile,
                                             const std::string& name) const {
    const std::string key =
        "Software\\" + dialogs::MakerVersion("QzAbout").companyName + "\\QzAbout\\" + padFile;
    win32::HKEY handle{};
    if (win32::RegOpenKeyA(win32::HKEY_CURRENT_USER, key, &handle) != win32::ERROR_SUCCESS) {
        return std::nullopt;
    }
    char data[4096] = {};
    win32::DWORD size = sizeof data;
    win32::DWORD type = 0;
    const auto status = win32::RegQueryValueExA(handle, name, nullptr, &type,
                                                reinterpret_cast<win32::BYTE*>(data), &size);
    win32::RegCloseKey(handle);
    if (status != win32::ERROR_SUCCESS || type != win32::REG_SZ) {
        return std::nullopt;
    }
    return std::string(data);
}

void AboutTest::RegisterBrowser(const std::string& command) {
    std::string escaped;
    for (const char c : command) {
        escaped += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
    }
    testsupport::SeedRegistry(machine,
                              "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n"
                              "\r\n[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\r\n@=\"" +
                                  escaped + "\"\r\n");
}

}  // namespace Qz_About::test
