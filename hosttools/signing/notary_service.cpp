#include "signing/notary_service.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "archive/zip_extraction.h"
#include "common/json_text.h"
#include "common/tool_failure.h"
#include "posix/hex_text.h"
#include "posix/private_folder.h"
#include "posix/unique_fd.h"
#include "signing/code_seal.h"
#include "signing/codesign_verify.h"
#include "signing/notary_store.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDeveloperIdPrefix = "Developer ID Application: ";

// A random (version 4) UUID, as the service names each submission.
std::string submissionId() {
    unsigned char bytes[16];
    const posix::UniqueFd random(::open("/dev/urandom", O_RDONLY | O_CLOEXEC));
    if (!random.valid() || ::read(random.get(), bytes, sizeof bytes) != sizeof bytes)
        throwErrno("Could not read", "/dev/urandom");
    bytes[6] = (bytes[6] & 0x0f) | 0x40;
    bytes[8] = (bytes[8] & 0x3f) | 0x80;
    std::string id = posix::hexText(bytes);
    for (const std::size_t dash : {8, 13, 18, 23}) id.insert(dash, 1, '-');
    return id;
}

// The single top-level app of the unpacked archive, or why there is none.
std::optional<fs::path> soleApp(const fs::path& folder, std::string& problem) {
    std::optional<fs::path> app;
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++entries;
        if (entry.path().extension() == ".app" && entry.is_directory() && !entry.is_symlink())
            app = entry.path();
    }
    if (entries == 1 && app) return app;
    problem = "The archive must hold exactly one app at its top level.";
    return std::nullopt;
}

// Why the service would reject `app`, or an empty string when it passes.
std::string rejectionOf(const fs::path& app) {
    std::optional<SigningRecord> record;
    try {
        if (verifyDeepStrict(app) != 0) return "The signature of the app is invalid.";
        record = readSigningRecord(app);
    } catch (const ToolFailure& failure) {
        return failure.what();
    }
    if (!record || record->identity.rfind(kDeveloperIdPrefix, 0) != 0)
        return "The app is not signed with a Developer ID certificate.";
    if (!record->hardenedRuntime) return "The app does not have the hardened runtime enabled.";
    if (!record->timestamp) return "The signature of the app does not include a secure timestamp.";
    return "";
}

// Unpacks and checks the submission; on acceptance remembers the app's seal.
std::string judge(const fs::path& archive) {
    const auto folder = posix::PrivateFolder::create<ToolFailure>("bundlekiln");
    try {
        extractZip(archive, folder.path());
    } catch (const ToolFailure& failure) {
        return std::string("The archive could not be unpacked: ") + failure.what();
    }
    std::string problem;
    const std::optional<fs::path> app = soleApp(folder.path(), problem);
    if (!app) return problem;
    problem = rejectionOf(*app);
    if (problem.empty()) recordAcceptedSeal(sealDigest(*app));
    return problem;
}

} // namespace

std::string submitForNotarization(const fs::path& archive, const std::string& profile) {
    if (!hasNotaryProfile(profile))
        throw ToolFailure("No Keychain password item found for profile: " + profile +
                          " (profiles are read from " + notaryProfilesFile().string() + ")");
    if (!fs::is_regular_file(archive)) throw ToolFailure(archive.string() + ": No such file.");
    const std::string problem = judge(archive);
    const bool accepted = problem.empty();
    return "{\"id\":" + jsonString(submissionId()) +
           ",\"status\":" + jsonString(accepted ? "Accepted" : "Invalid") +
           ",\"message\":" + jsonString(accepted ? "Processing complete" : problem) + "}";
}

} // namespace hosttools
