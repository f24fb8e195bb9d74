#include <cctype>

#include "platform/machine/Text.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/shell32/ShellLink.h"

namespace win32 {
namespace {

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find_first_of("\\/", pos);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > pos) {
            parts.push_back(path.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    return parts;
}

}  // namespace

ShellLink LinkTo(std::string_view target) {
    ShellLink link;
    link.targetPath = std::string(target);
    if (const auto data = GetFileAttributesExA(target)) {
        link.fileAttributes = data->dwFileAttributes;
        link.creationTime = data->ftCreationTime.quad();
        link.accessTime = data->ftLastAccessTime.quad();
        link.writeTime = data->ftLastWriteTime.quad();
        link.fileSize = static_cast<std::uint32_t>(data->nFileSize);
    }
    if (target.size() >= 2 && target[1] == ':') {
        const std::string root{target[0], ':', '\\'};
        link.driveType = GetDriveTypeA(root);
        if (const auto volume = GetVolumeInformationA(root)) {
            link.driveSerialNumber = volume->volumeSerialNumber;
            link.volumeLabel = volume->volumeName;
        }
    }
    return link;
}

std::string RelativeLinkPath(std::string_view linkPath, std::string_view target) {
    if (linkPath.size() < 2 || target.size() < 2 || linkPath[1] != ':' || target[1] != ':' ||
        std::toupper(static_cast<unsigned char>(linkPath[0])) !=
            std::toupper(static_cast<unsigned char>(target[0]))) {
        return {};
    }
    auto from = Components(linkPath.substr(2));
    if (!from.empty()) {
        from.pop_back();  // the link's own name
    }
    const auto to = Components(target.substr(2));
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() &&
           machine::text::EqualsNoCase(from[common], to[common])) {
        ++common;
    }
    std::string relative = common == from.size() ? "." : "";
    for (std::size_t i = common; i < from.size(); ++i) {
        relative += relative.empty() ? ".." : "\\..";
    }
    for (std::size_t i = common; i < to.size(); ++i) {
        relative += "\\";
        relative += to[i];
    }
    return relative;
}

}  // namespace win32
