#include "signing/stapling.h"

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "common/pending_file.h"
#include "common/tool_failure.h"
#include "signing/code_seal.h"
#include "signing/codesign_verify.h"
#include "signing/notary_store.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTicketHeader = "bundlekiln notarization ticket\n";

void requireApp(const fs::path& app) {
    if (!fs::is_directory(fs::symlink_status(app / "Contents")))
        throw ToolFailure(app.string() + " is not an app bundle.");
}

std::string ticketFor(const std::string& sealDigest) {
    return std::string(kTicketHeader) + sealDigest + "\n";
}

std::string readTicket(const fs::path& app) {
    std::ifstream stream(ticketFile(app), std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

} // namespace

void stapleTicket(const fs::path& app) {
    requireApp(app);
    const std::string digest = sealDigest(app);
    if (!isAcceptedSeal(digest))
        throw ToolFailure("Could not staple " + app.string() +
                          ": no accepted notarization matches its current signature.");
    writeWholeFile(ticketFile(app), ticketFor(digest), "the ticket");
}

void validateTicket(const fs::path& app) {
    requireApp(app);
    const std::string ticket = readTicket(app);
    if (ticket.empty()) throw ToolFailure(app.string() + " does not have a ticket stapled to it.");
    if (ticket != ticketFor(sealDigest(app)))
        throw ToolFailure("The ticket stapled to " + app.string() + " does not match its signature.");
    if (verifyDeepStrict(app) != 0) throw ToolFailure("The signature of " + app.string() + " is invalid.");
}

} // namespace hosttools
