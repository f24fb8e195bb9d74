#include "tests/support/FileText.h"

#include <fstream>
#include <sstream>

namespace testsupport {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testsupport
