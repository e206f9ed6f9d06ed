#pragma once

#include "app_delegate.h"
#include "temporary_folder.h"

#include <QCheckBox>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>

namespace bundlekiln::app::testing {

/// A test with its own configuration and data folders, so that every store
/// and runtime cache it opens is new and private, and a desktop whose panels
/// answer from `panelAnswers`, whose beeps are counted and whose file manager
/// records what it was asked to show.
class DelegateTest : public ::testing::Test {
protected:
    DelegateTest();
    ~DelegateTest() override;

    /// A delegate with its window built, on the store the arguments choose.
    std::unique_ptr<AppDelegate> launch(const std::vector<std::string>& arguments = {"bundlekiln"});
    /// Clicks a checkbox as a user would: its state flips, then its action runs.
    static void click(AppDelegate& delegate, const std::string& key) { delegate.checks.at(key)->click(); }
    /// Runs the event loop until `condition` holds; false when it still does
    /// not after `milliseconds`.
    static bool waitUntil(const std::function<bool()>& condition, int milliseconds = 60000);
    /// The controls of the window that are disabled themselves, not through a parent.
    static std::set<QWidget*> disabledControls(const AppDelegate& delegate);
    /// `idle` and the controls that a busy window disables besides.
    static std::set<QWidget*> busyControls(const AppDelegate& delegate, std::set<QWidget*> idle);
    /// A generated runtime zip in `into`; `generatorOptions` are passed on.
    static std::filesystem::path makeRuntime(const std::filesystem::path& into,
                                             const std::vector<std::string>& generatorOptions = {});
    /// The store the standard window saves to.
    SettingsStore saved() const { return SettingsStore::forSuite(AppDelegate::standardSuite); }

    std::filesystem::path downloads() const { return folder / "Downloads"; }

    bundlekiln::testing::TemporaryFolder folder;
    int beeps = 0;
    /// What the next panels answer, in order; none is a cancelled panel.
    std::deque<std::optional<std::filesystem::path>> panelAnswers;
    std::vector<std::filesystem::path> revealed;

private:
    std::string savedConfigHome_;
    std::string savedDataHome_;
};

} // namespace bundlekiln::app::testing
