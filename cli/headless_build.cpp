#include "headless_build.h"

#include "interruption.h"
#include "kilnsmith.h"

#include <csignal>
#include <iostream>

namespace bundlekiln::cli {
namespace {

void onStopSignal(int signal) {
    requestInterruption(signal);
}

void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    // No SA_RESTART: a call blocked in the engine (a write to a full output
    // pipe, say) must return, so that the stop is seen and the build cleans up.
    action.sa_flags = 0;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed standard output must end the build with its clean-up, not kill it.
    std::signal(SIGPIPE, SIG_IGN);
    // So must a write beyond the file-size limit: it then fails with EFBIG, in
    // this process and in the tools, which inherit the setting.
    std::signal(SIGXFSZ, SIG_IGN);
}

[[noreturn]] void endBySignal(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace

int runHeadlessBuild(const Arguments& arguments) {
    const auto options = buildOptions(arguments);
    if (!options) {
        std::cerr << "Required: --project --runtime --output --name\n";
        return 2;
    }
    catchStopSignals();
    Kilnsmith engine;
    engine.report = [](const std::string& message) { std::cout << message << '\n' << std::flush; };
    try {
        engine.build(*options);
        return 0;
    } catch (const BuildInterrupted& interrupted) {
        endBySignal(interrupted.signal);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}

} // namespace bundlekiln::cli
