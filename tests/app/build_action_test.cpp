// The build button: the form's refusals, a build in the background with its
// progress, busy state, result and reveal, and quitting around it.
#include "delegate_fixture.h"

#include "stop_signals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <iostream>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::readFile;
using bundlekiln::testing::writeFile;

constexpr const char* waitMessage = "Please wait for the current build or download to finish.";

class BuildAction : public DelegateTest {
protected:
    void fill(const std::map<std::string, std::string>& texts) {
        for (const auto& [key, text] : texts) delegate->fields.at(key)->setText(QString::fromStdString(text));
    }
    // A form that the window accepts; the runtime is only generated when a test builds for real.
    void fillComplete(const std::filesystem::path& runtime = "/no/runtime.zip") {
        writeFile(folder / "site/index.html", "<p>hello</p>");
        std::filesystem::create_directories(folder / "out");
        fill({{"project", (folder / "site").string()},
              {"runtime", runtime.string()},
              {"output", (folder / "out").string()},
              {"name", "Window App"},
              {"bundle", "com.local.windowapp"}});
    }
    std::string status() const { return delegate->status->text().toStdString(); }
    bool waitForIdle() {
        return waitUntil([this] { return !delegate->active; });
    }

    std::unique_ptr<AppDelegate> delegate = launch();
};

TEST_F(BuildAction, AnIncompleteFormIsRefusedInOrderWithNothingSavedAndNothingLocked) {
    const std::string completeness = "Choose the project, matching NW.js runtime, and output folder first.";
    const std::string size = "Width and height must be whole numbers.";
    struct Refusal {
        std::map<std::string, std::string> texts;
        std::vector<std::string> checks;
        std::string sentence;
    };
    const Refusal refusals[] = {
        // Blanks beyond ASCII: no-break and ideographic spaces.
        {{{"output", " \u00a0\u3000"}}, {}, completeness},
        {{{"runtime", ""}, {"width", "800px"}}, {}, completeness},
        {{{"width", "800px"}}, {}, size},
        {{{"width", "800.0"}}, {}, size},
        {{{"width", ""}}, {}, size},
        {{{"height", "7 00"}}, {}, size},
        {{}, {"sign"}, "Enter your Developer ID Application identity."},
        {{{"identity", "Developer ID Application: Me"}},
         {"sign", "notary"},
         "Enter your existing notarytool Keychain profile name."},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.sentence + " " + ::testing::PrintToString(refusal.texts));
        delegate = launch();
        fillComplete();
        fill(refusal.texts);
        for (const std::string& key : refusal.checks) delegate->checks.at(key)->setChecked(true);
        const int beepsBefore = beeps;
        const std::set<QWidget*> disabledBefore = disabledControls(*delegate);
        delegate->buildButton->click();
        EXPECT_EQ(status(), "Error: " + refusal.sentence);
        EXPECT_EQ(beeps, beepsBefore + 1);
        EXPECT_FALSE(delegate->active);
        EXPECT_EQ(disabledControls(*delegate), disabledBefore);
        EXPECT_FALSE(std::filesystem::exists(delegate->defaults.file()));
    }
}

// Records the status line, with the progress bar's stages while it shows, as
// they stand before each update posted to the main thread, which is where
// every progress message arrives.
class StatusRecorder : public QObject {
public:
    explicit StatusRecorder(const AppDelegate& window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~StatusRecorder() override { QCoreApplication::instance()->removeEventFilter(this); }

    std::vector<std::string> seen() {
        record();
        return seen_;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (receiver == QCoreApplication::instance() && event->type() == QEvent::MetaCall) record();
        return false;
    }

private:
    void record() {
        const QProgressBar& bar = *window_.footer->progress();
        std::string text = window_.status->text().toStdString();
        if (bar.isVisible())
            text += " [" + std::to_string(bar.value()) + "/" + std::to_string(bar.maximum()) + "]";
        if (!text.starts_with(waitMessage) && (seen_.empty() || seen_.back() != text)) seen_.push_back(text);
    }

    const AppDelegate& window_;
    std::vector<std::string> seen_;
};

// The bar has passed one stage for each message before the current one.
TEST_F(BuildAction, BuildsInTheBackgroundWithEveryProgressMessageAndStageInOrderThenRevealsTheApp) {
    fillComplete(makeRuntime(folder / "runtime", {"--framework-mb", "2"}));
    for (const char* key : {"auto", "zip", "dmg"}) click(*delegate, key);
    fill({{"width", " 800 "}});
    const std::filesystem::path app = folder / "out/Window App.app";
    const std::vector<std::string> expected = {"Preparing NW.js runtime\u2026 [0/5]",
                                               "Adding project files\u2026 [1/5]",
                                               "Applying local ad-hoc signature\u2026 [2/5]",
                                               "Creating ZIP\u2026 [3/5]",
                                               "Creating DMG\u2026 [4/5]",
                                               "Finished: " + app.string() + " [5/5]",
                                               "\u2713 Built Window App.app"};
    const std::set<QWidget*> idle = disabledControls(*delegate);
    StatusRecorder recorder(*delegate);
    delegate->buildButton->click();
    EXPECT_TRUE(delegate->active);
    EXPECT_EQ(disabledControls(*delegate), busyControls(*delegate, idle));
    EXPECT_EQ(saved().string("final.width"), " 800 ");
    delegate->buildButton->click(); // disabled: no second build
    EXPECT_FALSE(delegate->window->close());
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(recorder.seen(), expected);
    EXPECT_EQ(disabledControls(*delegate), idle);
    EXPECT_EQ(revealed, std::vector<std::filesystem::path>{app});
    EXPECT_TRUE(std::filesystem::is_regular_file(app / "Contents/Info.plist"));
    EXPECT_EQ(beeps, 0);
}

// Quitting is refused while busy and saves afterwards, the text typed since
// the last save included.
TEST_F(BuildAction, AnEngineFailureEndsTheBusyStateAndClosingTheWindowThenSaves) {
    fillComplete();
    // Notarizing with signing off, set from code past the checkbox rule: the
    // identity typed in is not used, so the engine refuses.
    delegate->checks.at("notary")->setChecked(true);
    fill({{"identity", "Developer ID Application: Ignored"}, {"profile", "team"}});
    const std::set<QWidget*> idle = disabledControls(*delegate);
    delegate->buildButton->click();
    EXPECT_TRUE(delegate->active);
    fill({{"name", "Typed While Busy"}});
    EXPECT_FALSE(delegate->window->close());
    EXPECT_EQ(status(), waitMessage);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(status(), "Error: Notarization requires a Developer ID signing identity.");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(disabledControls(*delegate), idle);
    EXPECT_TRUE(revealed.empty());
    EXPECT_NE(saved().string("final.name"), "Typed While Busy");
    EXPECT_TRUE(delegate->window->close());
    EXPECT_EQ(saved().string("final.name"), "Typed While Busy");
}

// The main thread's longest stall while a build of a realistic-size runtime
// runs: a 5 ms timer records how late it fires.
TEST_F(BuildAction, TheWindowStaysResponsiveDuringABuild) {
    fillComplete(makeRuntime(folder / "runtime", {"--framework-mb", "100", "--resource-files", "2500"}));
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    ticker.start(5);
    delegate->buildButton->click();
    ASSERT_TRUE(waitForIdle());
    ticker.stop();
    EXPECT_EQ(status(), "\u2713 Built Window App.app");
    std::cout << "Longest main-thread stall during a " << clock.elapsed() << " ms build: " << longest - 5
              << " ms (target: under 50 ms)\n";
    // Generous against a loaded machine, yet far below a build on the main thread.
    EXPECT_LT(longest, 250);
}

// A stop signal during a build: the window stops the tool's process group, the
// staging folder goes, no error shows, and then the window quits. In a child
// process, as the engine's stop request lasts for the rest of the process; the
// child reports what it saw on standard error.
TEST_F(BuildAction, AStopSignalEndsTheBuildCleanlyThenQuits) {
    const auto stopDuringBuild = [this] {
        const std::filesystem::path toolPid = folder / "tool.pid";
        writeFile(folder / "root/usr/bin/ditto",
                  "#!/bin/sh\necho $$ > '" + toolPid.string() + "'\nexec sleep 60\n", 0755);
        setenv("BUNDLEKILN_TOOL_ROOT", (folder / "root").c_str(), 1);
        setenv("TMPDIR", (folder / "tmp").c_str(), 1);
        fillComplete(folder / "runtime.zip");
        const StopSignals stopSignals([this](int signal) { delegate->stopBySignal(signal); });
        delegate->buildButton->click();
        waitUntil([&] { return std::filesystem::exists(toolPid) && !readFile(toolPid).empty(); });
        kill(getpid(), SIGTERM);
        QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
        const int loop = QCoreApplication::exec();
        std::cerr << "loop " << loop << ", signal " << delegate->stopSignal << ", staging left "
                  << !std::filesystem::is_empty(folder / "tmp") << ", tool group alive "
                  << (kill(-std::stoi(readFile(toolPid)), 0) == 0) << ", beeps " << beeps;
        std::filesystem::remove_all(folder.path());
        std::_Exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(stopDuringBuild(), ::testing::ExitedWithCode(0),
                "loop 0, signal " + std::to_string(SIGTERM) +
                    ", staging left 0, tool group alive 0, beeps 0");
}

} // namespace
} // namespace bundlekiln::app::testing
