// The delegate's state, rules and actions; the window itself is built in
// window_layout.cpp.
#include "app_delegate.h"

#include "form_rules.h"
#include "interruption.h"
#include "kilnsmith.h"
#include "project_selection.h"
#include "ui_self_test.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>

namespace bundlekiln::app {
namespace {

constexpr const char* initialStatus = "Drop an HTML file or project folder to begin.";
constexpr const char* waitMessage = "Please wait for the current build or download to finish.";

SettingsStore storeFor(const std::vector<std::string>& arguments) {
    return SettingsStore::forSuite(selfTestRequested(arguments) ? AppDelegate::selfTestSuite
                                                                : AppDelegate::standardSuite);
}

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

AppDelegate::AppDelegate(const std::vector<std::string>& arguments, DesktopServices services)
    : arch(new QComboBox),
      statusLine(new StatusLine(initialStatus)),
      status(statusLine->label()),
      buildButton(new QPushButton("Build Mac App")),
      downloadButton(new QPushButton),
      defaults(storeFor(arguments)),
      arguments_(arguments),
      services_(std::move(services)),
      network_(new QNetworkAccessManager(this)) {
    // The title names latestVersion, which is only set once the initializers have run.
    downloadButton->setText(qt("Get cached / download NW.js " + latestVersion));
    connect(buildButton, &QPushButton::clicked, this, [this] { build(); });
    connect(downloadButton, &QPushButton::clicked, this, [this] { downloadRuntime(); });
    connect(arch, &QComboBox::activated, this, [this] { architectureChanged(); });
}

// The controls made before the window exist on their own until the window
// adopts them; the window deletes those it holds.
AppDelegate::~AppDelegate() {
    window.reset();
    delete arch.data();
    delete statusLine.data();
    delete buildButton.data();
    delete downloadButton.data();
}

bool AppDelegate::applicationShouldTerminate() {
    if (active) {
        setStatus(waitMessage);
        return false;
    }
    save();
    return true;
}

void AppDelegate::stopBySignal(int signal) {
    stopSignal = signal;
    if (!active) return quit();
    // The engine's stop reaches a build and a download's archive test; a
    // download still in transfer is cancelled, which removes its partial file.
    requestInterruption(signal);
    cancelDownload();
}

void AppDelegate::quit() {
    if (applicationShouldTerminate()) QCoreApplication::exit(0);
}

void AppDelegate::toggle(QCheckBox* sender) {
    CheckStates states = checkStates();
    applyCheckboxRule(states, sender->objectName().toStdString());
    setCheckStates(states);
    updateControls();
    save();
}

void AppDelegate::chooseProject() {
    if (const auto chosen = panel("Choose Project", "project", true, true, {"html", "htm"}))
        selectProject(*chosen);
}

void AppDelegate::chooseRuntime() {
    chooseFile("Choose NW.js Runtime", "runtime", true, {"zip", "app"});
}

void AppDelegate::chooseIcon() {
    chooseFile("Choose Icon", "icon", false, {"png", "icns"});
}

void AppDelegate::chooseOutput() {
    if (const auto chosen = panel("Choose Output Folder", "output", false)) fillPath("output", *chosen);
}

void AppDelegate::selectProject(const std::filesystem::path& chosen) {
    const auto project = withoutTrailingSeparators(chosen);
    Manifest manifest;
    try {
        manifest = Kilnsmith().validateProject(project);
    } catch (const std::exception& error) {
        show(error.what());
        return;
    }
    const ProjectFields filled = projectFields(project, manifest);
    setText("project", filled.project);
    setText("name", filled.name);
    setText("version", filled.version);
    setText("bundle", bundleIdentifier(text("name")));
    setStatus(projectReadyMessage);
    save();
}

bool AppDelegate::on(const std::string& key) const {
    return checks.at(key)->isChecked();
}

void AppDelegate::updateControls() {
    for (const auto& [key, enabled] : fieldEnabling(checkStates())) {
        if (const auto found = fields.find(key); found != fields.end()) found->second->setEnabled(enabled);
    }
}

std::string AppDelegate::text(const std::string& key) const {
    return trimmed(fields.at(key)->text().toStdString());
}

void AppDelegate::save() {
    saveForm(defaults, form());
}

void AppDelegate::setStatus(const std::string& message) {
    statusLine->showMessage(message);
}

void AppDelegate::show(const std::string& message) {
    statusLine->showError("Error: " + message);
    services_.beep();
}

std::optional<std::filesystem::path> AppDelegate::panel(const std::string& title, const std::string& key,
                                                        bool files, bool directories,
                                                        std::vector<std::string> types) {
    const PanelPlace place = panelPlace(text(key), QDir::homePath().toStdString());
    return services_.choose(PanelRequest{files, directories, std::move(types), title, place});
}

void AppDelegate::choose(ChooseAction action) {
    switch (action) {
    case ChooseAction::project:
        return chooseProject();
    case ChooseAction::runtime:
        return chooseRuntime();
    case ChooseAction::icon:
        return chooseIcon();
    case ChooseAction::output:
        return chooseOutput();
    }
}

void AppDelegate::chooseFile(const std::string& title, const std::string& key, bool directories,
                             std::vector<std::string> types) {
    if (const auto chosen = panel(title, key, true, directories, std::move(types))) fillPath(key, *chosen);
}

void AppDelegate::fillPath(const std::string& key, const std::filesystem::path& path) {
    setText(key, withoutTrailingSeparators(path).string());
    save();
}

void AppDelegate::setText(const std::string& key, const std::string& text) {
    fields.at(key)->setText(qt(text));
}

CheckStates AppDelegate::checkStates() const {
    CheckStates states;
    for (const auto& [key, box] : checks) states[key] = box->isChecked();
    return states;
}

void AppDelegate::setCheckStates(const CheckStates& states) {
    // Setting a state from code emits no click, so the rule does not run again.
    for (const auto& [key, on] : states) checks.at(key)->setChecked(on);
}

FormValues AppDelegate::form() const {
    FormValues values;
    for (const auto& [key, input] : fields) values.texts[key] = input->text().toStdString();
    values.checks = checkStates();
    values.architecture = arch->currentIndex();
    return values;
}

} // namespace bundlekiln::app
