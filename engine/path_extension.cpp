#include "path_extension.h"

#include <algorithm>

namespace bundlekiln {

std::string pathExtension(const std::filesystem::path& path) {
    const auto extension = path.extension().string();
    return extension.empty() ? extension : extension.substr(1);
}

std::string lowercasePathExtension(const std::filesystem::path& path) {
    return lowercased(pathExtension(path));
}

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

} // namespace bundlekiln
