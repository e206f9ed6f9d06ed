#include "delegate_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QPushButton>

#include <cstdlib>

namespace bundlekiln::app::testing {
namespace {

std::string replaceVariable(const char* variable, const std::filesystem::path& value) {
    std::string saved;
    if (const char* configured = std::getenv(variable)) saved = configured;
    setenv(variable, value.c_str(), 1);
    return saved;
}

} // namespace

DelegateTest::DelegateTest()
    : savedConfigHome_(replaceVariable("XDG_CONFIG_HOME", folder / "config")),
      savedDataHome_(replaceVariable("XDG_DATA_HOME", folder / "data")) {}

DelegateTest::~DelegateTest() {
    setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
    setenv("XDG_DATA_HOME", savedDataHome_.c_str(), 1);
}

std::unique_ptr<AppDelegate> DelegateTest::launch(const std::vector<std::string>& arguments) {
    DesktopServices services{
        [this](const PanelRequest&) {
            auto answer = panelAnswers.empty() ? std::nullopt : panelAnswers.front();
            if (!panelAnswers.empty()) panelAnswers.pop_front();
            return answer;
        },
        [this] { ++beeps; },
        downloads(),
        [this](const std::filesystem::path& item) { revealed.push_back(item); },
    };
    auto delegate = std::make_unique<AppDelegate>(arguments, std::move(services));
    delegate->applicationDidFinishLaunching();
    return delegate;
}

bool DelegateTest::waitUntil(const std::function<bool()>& condition, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

std::set<QWidget*> DelegateTest::disabledControls(const AppDelegate& delegate) {
    std::set<QWidget*> disabled;
    for (QWidget* widget : delegate.window->findChildren<QWidget*>())
        if (widget->testAttribute(Qt::WA_ForceDisabled)) disabled.insert(widget);
    return disabled;
}

std::set<QWidget*> DelegateTest::busyControls(const AppDelegate& delegate, std::set<QWidget*> idle) {
    idle.insert({delegate.buildButton, delegate.downloadButton, delegate.arch});
    return idle;
}

std::filesystem::path DelegateTest::makeRuntime(const std::filesystem::path& into,
                                                const std::vector<std::string>& generatorOptions) {
    QStringList arguments = {BUNDLEKILN_RUNTIME_GENERATOR, "--into", QString::fromStdString(into.string())};
    for (const std::string& option : generatorOptions) arguments << QString::fromStdString(option);
    QProcess generator;
    generator.start("python3", arguments);
    if (!generator.waitForFinished(120000) || generator.exitCode() != 0)
        throw std::runtime_error("the runtime generator failed: " +
                                 generator.readAllStandardError().toStdString());
    return generator.readAllStandardOutput().trimmed().toStdString();
}

} // namespace bundlekiln::app::testing
