#pragma once

#include "app_delegate.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace bundlekiln::app::testing {

/// A test with its own configuration folder, so that every store it opens is
/// new and private, and a desktop whose panels answer from `panelAnswers`
/// and whose beeps are counted.
class DelegateTest : public ::testing::Test {
protected:
    DelegateTest();
    ~DelegateTest() override;

    /// A delegate with its window built, on the store the arguments choose.
    std::unique_ptr<AppDelegate> launch(const std::vector<std::string>& arguments = {"bundlekiln"});
    /// Clicks a checkbox as a user would: its state flips, then its action runs.
    static void click(AppDelegate& delegate, const std::string& key);

    std::filesystem::path downloads() const { return folder / "Downloads"; }

    bundlekiln::testing::TemporaryFolder folder;
    int beeps = 0;
    /// What the next panels answer, in order; none is a cancelled panel.
    std::deque<std::optional<std::filesystem::path>> panelAnswers;
    std::vector<PanelRequest> panelRequests;

private:
    std::string savedConfigHome_;
};

} // namespace bundlekiln::app::testing
