#include "signing/notary_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "common/tool_failure.h"
#include "posix/unique_fd.h"
#include "signing/code_seal.h"
#include "signing/file_digest.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

fs::path configFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != '\0')
        return fs::path(config) / "bundlekiln";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        throw ToolFailure("HOME is not set, so there is no notary profiles file.");
    return fs::path(home) / ".config/bundlekiln";
}

bool fileHasLine(const fs::path& file, const std::string& wanted) {
    std::ifstream stream(file);
    for (std::string line; std::getline(stream, line);) {
        if (line == wanted) return true;
    }
    return false;
}

} // namespace

fs::path notaryProfilesFile() {
    if (const char* file = std::getenv("BUNDLEKILN_NOTARY_PROFILES"); file != nullptr && *file != '\0')
        return file;
    return configFolder() / "notary-profiles";
}

bool hasNotaryProfile(const std::string& profile) {
    return !profile.empty() && fileHasLine(notaryProfilesFile(), profile);
}

fs::path acceptedSealsFile() {
    return notaryProfilesFile().parent_path() / "notary-accepted-seals";
}

std::string sealDigest(const fs::path& app) {
    const fs::path seal = sealFile(app);
    if (!fs::is_regular_file(fs::symlink_status(seal))) throw ToolFailure(app.string() + " is not signed.");
    return sha256OfFile(seal);
}

void recordAcceptedSeal(const std::string& sealDigest) {
    const fs::path file = acceptedSealsFile();
    // One append of a whole line, so concurrent submissions never interleave.
    const posix::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!fd.valid()) throwErrno("Could not record the accepted submission in", file);
    const std::string line = sealDigest + "\n";
    if (::write(fd.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throwErrno("Could not record the accepted submission in", file);
}

bool isAcceptedSeal(const std::string& sealDigest) {
    return fileHasLine(acceptedSealsFile(), sealDigest);
}

} // namespace hosttools
