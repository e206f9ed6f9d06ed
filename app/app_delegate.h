#pragma once

#include "app_window.h"
#include "build_options.h"
#include "control_table.h"
#include "desktop_services.h"
#include "form_settings.h"
#include "runtime_download.h"
#include "settings_store.h"
#include "status_line.h"
#include "window_footer.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QNetworkAccessManager;
class QPushButton;

namespace bundlekiln::app {

/// The desktop front end: builds the one window, restores every control from
/// the settings store and saves them back, keeps the rules between the
/// checkboxes, takes the project by panel or drop, runs builds and runtime
/// downloads in the background, and tests itself on request. It holds no
/// build logic: the engine validates and builds. It lives on the main thread;
/// background work reaches it only through posts to the main thread that hold
/// it weakly.
class AppDelegate : public QObject {
public:
    /// The settings suite of normal runs, and the one used when the arguments
    /// hold "--self-test-ui", so that a test run never touches the user's settings.
    static constexpr const char* standardSuite = "com.local.bundlekiln";
    static constexpr const char* selfTestSuite = "com.local.bundlekiln-ui-test";

    AppDelegate(const std::vector<std::string>& arguments, DesktopServices services);
    ~AppDelegate() override;

    std::unique_ptr<AppWindow> window;
    /// The vertical stack of every row, inside the window's scroll area.
    QPointer<QWidget> formStack;
    /// Below the scroll area: progress, the status line and the build button.
    QPointer<WindowFooter> footer;
    std::map<std::string, QLineEdit*> fields;
    std::map<std::string, QCheckBox*> checks;
    QPointer<QComboBox> arch;
    QPointer<StatusLine> statusLine;
    /// The status line's text, as `statusLine` shows it.
    QPointer<QLabel> status;
    QPointer<QPushButton> buildButton;
    QPointer<QPushButton> downloadButton;
    SettingsStore defaults;
    const std::string latestVersion = "0.115.0";
    /// True while a build or a download runs.
    bool active = false;
    /// The stop signal that ends the application once it has quit; 0 while none arrived.
    int stopSignal = 0;
    /// How long a download may receive nothing before it fails.
    std::chrono::milliseconds downloadStallLimit{30'000};

    /// Builds, restores and shows the window; in self-test mode also marks the
    /// stages and schedules the test.
    void applicationDidFinishLaunching();
    /// A request to quit: refused while busy, otherwise saves and agrees.
    bool applicationShouldTerminate();
    /// The action of SIGINT and SIGTERM: quits at once when idle; otherwise
    /// stops the build or download and quits once it has ended, showing no
    /// error for what the stop broke off.
    void stopBySignal(int signal);

    /// The action of every checkbox, after the click has flipped it.
    void toggle(QCheckBox* sender);
    void chooseProject();
    void chooseRuntime();
    void chooseIcon();
    void chooseOutput();

    /// Validates the project and, when the engine accepts it, fills in the
    /// project, name, version and bundle identifier and saves; otherwise shows
    /// the reason and changes nothing.
    void selectProject(const std::filesystem::path& project);

    /// The build button's action: refuses an incomplete form with its reason,
    /// otherwise saves, goes busy and builds a copy of the form's record in the
    /// background, with each progress message in the status line.
    void build();
    /// Busy disables the build button, the download button and the architecture
    /// pop-up; leaving it quits when a stop signal waits for the work to end.
    void setBusy(bool busy);

    /// The cache file of `latestVersion` for the selected architecture.
    std::filesystem::path cacheURL() const;
    /// The download button's action: takes the cached runtime, or downloads,
    /// tests and caches it while busy.
    void downloadRuntime();
    /// The pop-up's action: the runtime field shows the new architecture's
    /// cached runtime, or nothing; saved at once.
    void architectureChanged();
    /// The Cancel button's action: stops the running download, which then
    /// ends as cancelled.
    void cancelDownload();

    bool on(const std::string& key) const;
    void updateControls();
    /// The field's text without surrounding white space.
    std::string text(const std::string& key) const;
    void save();
    /// An ordinary message in the status line.
    void setStatus(const std::string& message);
    /// "Error: " + `message` in the status line, shown as an error, with the alert sound.
    void show(const std::string& message);

private:
    void buildWindow();
    QWidget* buildForm();
    QWidget* buildFooter();
    void addControl(QBoxLayout* form, const ControlRow& control);
    void row(QBoxLayout* stack, const std::string& label, QWidget* view);
    void field(QBoxLayout* stack, const FieldRow& spec);
    void check(QBoxLayout* stack, const CheckRow& spec);
    void architecture(QBoxLayout* stack, const ArchitectureRow& spec);
    void centreAndShow();
    void scheduleSelfTest();
    /// Quits the event loop when `applicationShouldTerminate` agrees.
    void quit();

    static void buildInBackground(const BuildOptions& options, QPointer<AppDelegate> delegate,
                                  std::function<void(const std::filesystem::path&)> reveal);
    /// A progress message of the build, which has passed `done` of its `total` stages.
    void buildProgressed(const std::string& message, int done, int total);
    void buildSucceeded(const std::filesystem::path& app);
    void downloadEnded(RuntimeDownload::Ending ending, const std::string& failure,
                       const std::filesystem::path& cacheFile);
    void downloadSucceeded(const std::filesystem::path& cacheFile);
    /// Leaves the busy state and shows the failure.
    void endBusyWith(const std::string& failure);

    /// An open panel titled `title` that starts at the path in the field `key`.
    std::optional<std::filesystem::path> panel(const std::string& title, const std::string& key, bool files,
                                               bool directories = false, std::vector<std::string> types = {});
    void choose(ChooseAction action);
    void chooseFile(const std::string& title, const std::string& key, bool directories,
                    std::vector<std::string> types);
    void fillPath(const std::string& key, const std::filesystem::path& path);
    void setText(const std::string& key, const std::string& text);

    CheckStates checkStates() const;
    void setCheckStates(const CheckStates& states);
    FormValues form() const;

    const std::vector<std::string> arguments_;
    DesktopServices services_;
    /// The one network session of the window's downloads; a child of the
    /// delegate, so that a delegate that goes away takes its downloads along.
    QNetworkAccessManager* network_;
    /// The running download, if any.
    QPointer<RuntimeDownload> download_;
};

} // namespace bundlekiln::app
