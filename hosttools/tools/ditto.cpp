// Stand-in for /usr/bin/ditto: only the three forms the engine sends.

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "archive/tree_copy.h"
#include "archive/zip_creation.h"
#include "archive/zip_extraction.h"
#include "common/tool_failure.h"
#include "common/usage.h"

namespace {

constexpr std::string_view kForms =
    "ditto SRC DST | ditto -x -k ARCHIVE DSTDIR | ditto -c -k --sequesterRsrc --keepParent SRC ARCHIVE";

/// True when `arguments` are exactly `options` followed by two operands.
bool matchesForm(const std::vector<std::string_view>& arguments,
                 std::initializer_list<std::string_view> options) {
    if (arguments.size() != options.size() + 2) return false;
    if (!std::equal(options.begin(), options.end(), arguments.begin())) return false;
    // An operand starting with '-' is taken for an option this stand-in does not know.
    return !arguments.end()[-2].starts_with('-') && !arguments.end()[-1].starts_with('-');
}

/// Serves the form the engine sent; exits with the usage line for any other.
int dispatch(const std::vector<std::string_view>& arguments) {
    const auto operand = [&](int fromEnd) { return std::filesystem::path(arguments.end()[-fromEnd]); };
    if (matchesForm(arguments, {})) {
        hosttools::copyTree(operand(2), operand(1));
    } else if (matchesForm(arguments, {"-x", "-k"})) {
        hosttools::extractZip(operand(2), operand(1));
    } else if (matchesForm(arguments, {"-c", "-k", "--sequesterRsrc", "--keepParent"})) {
        // Linux files have no resource forks, so there is nothing to sequester.
        hosttools::createZip(operand(2), operand(1));
    } else {
        hosttools::exitWithUsage(kForms);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return hosttools::runTool("ditto", [&] { return dispatch(arguments); });
}
