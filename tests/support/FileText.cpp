#include "tests/support/FileText.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace testsupport {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FolderSnapshot(const std::filesystem::path& folder) {
    std::string text;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        text += std::filesystem::relative(entry.path(), folder).string() + " " +
                std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "\n";
        if (S_ISREG(st.st_mode)) {
            text += Slurp(entry.path()) + "\n";
        }
    }
    return text;
}

}  // namespace testsupport
