// The build button: the form's refusals, a build in the background with its
// progress, busy state, result and reveal, and quitting around it.
#include "delegate_fixture.h"

#include "kilnsmith.h"
#include "stop_signals.h"

#include <QCheckBox>
#include <QComboBox>
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
        fill({{"project", (folder / "site").string()},
              {"runtime", runtime.string()},
              {"output", (folder / "out").string()},
              {"name", "Window App"},
              {"bundle", "com.local.windowapp"}});
        std::filesystem::create_directories(folder / "out");
    }
    std::string status() const { return delegate->status->text().toStdString(); }
    bool waitForIdle() {
        return waitUntil([this] { return !delegate->active; });
    }

    std::unique_ptr<AppDelegate> delegate = launch();
};

struct Refusal {
    std::string name;
    std::function<void(AppDelegate&)> edit;
    std::string sentence;
};

TEST_F(BuildAction, AnIncompleteFormIsRefusedInOrderWithNothingSavedAndNothingLocked) {
    const std::string completeness = "Choose the project, matching NW.js runtime, and output folder first.";
    const std::string size = "Width and height must be whole numbers.";
    const auto set = [](const std::string& key, const std::string& text) {
        return [key, text](AppDelegate& window) {
            window.fields.at(key)->setText(QString::fromStdString(text));
        };
    };
    const auto on = [](const std::string& key) {
        return [key](AppDelegate& window) { window.checks.at(key)->setChecked(true); };
    };
    const std::vector<Refusal> refusals = {
        {"blank output", set("output", "  "), completeness},
        {"no runtime and a bad width",
         [&](AppDelegate& window) {
             set("runtime", "")(window);
             set("width", "800px")(window);
         },
         completeness},
        {"800px", set("width", "800px"), size},
        {"800.0", set("width", "800.0"), size},
        {"empty width", set("width", ""), size},
        {"a blank inside the height", set("height", "7 00"), size},
        {"signing without identity", on("sign"), "Enter your Developer ID Application identity."},
        {"notarizing without profile",
         [&](AppDelegate& window) {
             on("sign")(window);
             on("notary")(window);
             set("identity", "Developer ID Application: Me")(window);
         },
         "Enter your existing notarytool Keychain profile name."},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        delegate = launch();
        fillComplete();
        refusal.edit(*delegate);
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

    std::vector<std::string> seen() const {
        std::vector<std::string> all = seen_;
        record(all);
        return all;
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (receiver == QCoreApplication::instance() && event->type() == QEvent::MetaCall) record(seen_);
        return false;
    }

private:
    void record(std::vector<std::string>& into) const {
        const QProgressBar& bar = *window_.footer->progress();
        std::string text = window_.status->text().toStdString();
        if (bar.isVisible())
            text += " [" + std::to_string(bar.value()) + "/" + std::to_string(bar.maximum()) + "]";
        if (into.empty() || into.back() != text) into.push_back(text);
    }

    const AppDelegate& window_;
    std::vector<std::string> seen_;
};

// What the engine itself reports for the same build into another folder.
std::vector<std::string> engineMessages(const BuildOptions& options) {
    std::vector<std::string> messages;
    Kilnsmith engine;
    engine.report = [&](const std::string& message) { messages.push_back(message); };
    engine.build(options);
    return messages;
}

// The bar has passed one stage for each message before the current one.
TEST_F(BuildAction, BuildsInTheBackgroundWithEveryProgressMessageAndStageInOrderThenRevealsTheApp) {
    fillComplete(makeRuntime(folder / "runtime", {"--framework-mb", "2"}));
    for (const char* key : {"auto", "zip", "dmg"}) click(*delegate, key);
    fill({{"width", " 800 "}});
    const std::filesystem::path app = folder / "out/Window App.app";
    BuildOptions elsewhere(folder / "site", delegate->fields.at("runtime")->text().toStdString(),
                           folder / "other", "Window App", "1.0.0", "com.local.windowapp", std::nullopt,
                           true);
    elsewhere.zip = true;
    std::filesystem::create_directories(folder / "other");
    const std::vector<std::string> messages = engineMessages(elsewhere);
    std::vector<std::string> expected;
    for (std::size_t done = 0; done < messages.size(); ++done) {
        const std::string& message = messages[done];
        expected.push_back((message.starts_with("Finished: ") ? "Finished: " + app.string() : message) +
                           " [" + std::to_string(done) + "/" + std::to_string(messages.size() - 1) + "]");
    }
    expected.push_back("\u2713 Built Window App.app");

    const std::set<QWidget*> idle = disabledControls(*delegate);
    const StatusRecorder recorder(*delegate);
    delegate->buildButton->click();
    EXPECT_TRUE(delegate->active);
    std::set<QWidget*> busy = idle;
    busy.merge(busyControls(*delegate));
    EXPECT_EQ(disabledControls(*delegate), busy);
    EXPECT_EQ(SettingsStore(delegate->defaults.file()).string("final.width"), " 800 ");
    delegate->buildButton->click(); // disabled: no second build
    EXPECT_FALSE(delegate->applicationShouldTerminate());
    EXPECT_EQ(status(), waitMessage);
    ASSERT_TRUE(waitForIdle());

    std::vector<std::string> seen = recorder.seen();
    std::erase_if(seen, [](const std::string& text) { return text.starts_with(waitMessage); });
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(disabledControls(*delegate), idle);
    EXPECT_EQ(revealed, std::vector<std::filesystem::path>{app});
    EXPECT_TRUE(std::filesystem::is_regular_file(app / "Contents/Info.plist"));
    EXPECT_EQ(beeps, 0);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(status(), "\u2713 Built Window App.app");
}

TEST_F(BuildAction, AnEngineFailureEndsTheBusyStateAndQuittingThenSaves) {
    fillComplete();
    // Notarizing with signing off, set from code past the checkbox rule: the
    // identity typed in is not used, so the engine refuses.
    delegate->checks.at("notary")->setChecked(true);
    fill({{"identity", "Developer ID Application: Ignored"}, {"profile", "team"}});
    const std::set<QWidget*> idle = disabledControls(*delegate);
    delegate->buildButton->click();
    EXPECT_TRUE(delegate->active);
    EXPECT_FALSE(delegate->applicationShouldTerminate());
    EXPECT_EQ(status(), waitMessage);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(status(), "Error: Notarization requires a Developer ID signing identity.");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(disabledControls(*delegate), idle);
    EXPECT_TRUE(revealed.empty());
    fill({{"name", "Typed After"}});
    EXPECT_TRUE(delegate->applicationShouldTerminate());
    EXPECT_EQ(SettingsStore(delegate->defaults.file()).string("final.name"), "Typed After");
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
