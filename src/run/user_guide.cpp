#include "run/user_guide.hpp"

#include <filesystem>
#include <system_error>

namespace korvanel {

std::string installedUserGuide(const std::string& guideFromBinDir) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path guide = (program.parent_path() / guideFromBinDir / "README.md").lexically_normal();
    if (!fs::is_regular_file(guide, error)) return {};
    return guide.string();
}

}  // namespace korvanel
