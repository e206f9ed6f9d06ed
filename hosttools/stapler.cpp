#include "stapler.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "code_seal.h"
#include "codesign_verify.h"
#include "notary_store.h"
#include "pending_file.h"
#include "tool_failure.h"
#include "usage.h"

namespace hosttools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "xcrun stapler staple APP | xcrun stapler validate APP";
constexpr std::string_view kTicketHeader = "bundlekiln notarization ticket\n";

void requireApp(const fs::path& app) {
    if (!fs::is_directory(fs::symlink_status(app / "Contents")))
        throw ToolFailure(app.string() + " is not an app bundle.");
}

void writeTicket(const fs::path& app, const std::string& digest) {
    PendingFile ticket(ticketFile(app), "the ticket");
    const std::string text = std::string(kTicketHeader) + digest + "\n";
    if (::write(ticket.fd(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throwErrno("Could not write the ticket of", app);
    ticket.commit();
}

std::string readTicket(const fs::path& app) {
    std::ifstream stream(ticketFile(app), std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

int staple(const fs::path& app) {
    requireApp(app);
    const std::string digest = sealDigest(app);
    if (!isAcceptedSeal(digest))
        throw ToolFailure("Could not staple " + app.string() +
                          ": no accepted notarization matches its current signature.");
    writeTicket(app, digest);
    std::cout << "The staple and validate action worked!\n";
    return 0;
}

int validate(const fs::path& app) {
    requireApp(app);
    const std::string ticket = readTicket(app);
    if (ticket.empty()) throw ToolFailure(app.string() + " does not have a ticket stapled to it.");
    if (ticket != std::string(kTicketHeader) + sealDigest(app) + "\n")
        throw ToolFailure("The ticket stapled to " + app.string() + " does not match its signature.");
    if (verifyDeepStrict(app) != 0) throw ToolFailure("The signature of " + app.string() + " is invalid.");
    std::cout << "The validate action worked!\n";
    return 0;
}

} // namespace

int runStapler(const std::vector<std::string_view>& args) {
    if (args.size() == 2 && args[0] == "staple") return staple(fs::path(args[1]));
    if (args.size() == 2 && args[0] == "validate") return validate(fs::path(args[1]));
    exitWithUsage(kUsage);
}

} // namespace hosttools
