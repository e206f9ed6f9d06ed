#include "delegate_fixture.h"

#include <QCheckBox>

#include <cstdlib>

namespace bundlekiln::app::testing {

DelegateTest::DelegateTest() {
    if (const char* configured = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = configured;
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
}

DelegateTest::~DelegateTest() { setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1); }

std::unique_ptr<AppDelegate> DelegateTest::launch(const std::vector<std::string>& arguments) {
    DesktopServices services{
        [this](const PanelRequest& request) {
            panelRequests.push_back(request);
            auto answer = panelAnswers.empty() ? std::nullopt : panelAnswers.front();
            if (!panelAnswers.empty()) panelAnswers.pop_front();
            return answer;
        },
        [this] { ++beeps; },
        downloads(),
    };
    auto delegate = std::make_unique<AppDelegate>(arguments, std::move(services));
    delegate->applicationDidFinishLaunching();
    return delegate;
}

void DelegateTest::click(AppDelegate& delegate, const std::string& key) { delegate.checks.at(key)->click(); }

} // namespace bundlekiln::app::testing
