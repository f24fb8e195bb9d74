#include "tools/check/CheckReportFacts.h"

#include <ostream>

#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "tools/check/IsoTime.h"

namespace velto_check {
using ordered_json = nlohmann::ordered_json;

ordered_json HostPathJson(const std::string& windowsPath) {
    const auto host = win32::HostPathOf(windowsPath);
    return host ? ordered_json(host->string()) : ordered_json(nullptr);
}

void AddHostPaths(const Action& action, ordered_json& json) {
    if (action.kind == Action::Kind::Copy) {
        json["sourceHost"] = HostPathJson(action.source);
        json["targetHost"] = HostPathJson(action.target);
    } else {
        json["hostPath"] = HostPathJson(action.source);
    }
}

void AddCopyFacts(const Copy& copy, ordered_json& json) {
    const modVLTWork::FileProps& p = copy.props;
    json["hostPath"] = HostPathJson(copy.path);
    win32::host::FileStat stat;
    const auto host = win32::HostPathOf(copy.path);
    const bool known = host && win32::host::Stat(*host, stat) == 0;
    json["createdAt"] = known ? ordered_json(IsoTime(stat.creationTime)) : ordered_json(nullptr);
    json["modifiedAt"] = known ? ordered_json(IsoTime(stat.writeTime)) : ordered_json(nullptr);
    json["originalName"] = p[modVLTWork::kOriginalFileName];
    json["internalName"] = p[modVLTWork::kInternalName];
    json["copyright"] = p[modVLTWork::kLegalCopyright];
    json["accessed"] = p[modVLTWork::kAccessed];
    json["imageType"] = p[modVLTWork::kImageType];
}

void WriteMoreProperties(const Copy& copy, std::ostream& out) {
    const modVLTWork::FileProps& p = copy.props;
    const auto text = [](const std::string& value) { return value.empty() ? "none" : value; };
    out << "      product " << text(p[modVLTWork::kProductName]) << ", description "
        << text(p[modVLTWork::kFileDescription]) << "\n"
        << "      original name " << text(p[modVLTWork::kOriginalFileName]) << ", internal name "
        << text(p[modVLTWork::kInternalName]) << ", image " << text(p[modVLTWork::kImageType])
        << "\n"
        << "      copyright " << text(p[modVLTWork::kLegalCopyright]) << ", accessed "
        << p[modVLTWork::kAccessed] << "\n";
    if (const auto host = win32::HostPathOf(copy.path)) {
        out << "      host file " << host->string() << "\n";
    }
}

void WriteWaitingText(const std::optional<std::vector<win32::BootOperation>>& waiting,
                      std::ostream& out) {
    if (!waiting) {
        out << "\nThe moves waiting for the machine's next start cannot be read.\n";
        return;
    }
    if (waiting->empty()) {
        return;
    }
    out << "\nWaiting for the machine's next start (velto-machine boot carries them out; vlt -S "
           "leaves their groups alone until then):\n";
    for (const win32::BootOperation& move : *waiting) {
        out << "    " << move.What() << "\n";
    }
}

ordered_json WaitingJson(const std::optional<std::vector<win32::BootOperation>>& waiting) {
    if (!waiting) {
        return nullptr;
    }
    ordered_json list = ordered_json::array();
    for (const win32::BootOperation& move : *waiting) {
        list.push_back(
            {{"from", move.from == win32::BootOperation::From::Wininit ? "wininit.ini" : "pending"},
             {"position", move.position},
             {"action", move.target ? "move" : "delete"},
             {"source", move.source},
             {"sourceHost", HostPathJson(move.source)},
             {"target", move.target ? ordered_json(*move.target) : ordered_json(nullptr)},
             {"targetHost", move.target ? HostPathJson(*move.target) : ordered_json(nullptr)},
             {"replace", move.replaceExisting}});
    }
    return list;
}

}  // namespace velto_check
