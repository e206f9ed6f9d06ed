// The build button's action and the busy state it shares with the download.
#include "app_delegate.h"

#include "build_form.h"
#include "kilnsmith.h"
#include "main_thread.h"
#include "work_progress.h"

#include <QComboBox>
#include <QPushButton>

namespace bundlekiln::app {

void AppDelegate::build() {
    const FormValues values = form();
    if (const auto refusal = buildRefusal(values)) return show(*refusal);
    const BuildOptions options = buildOptions(values);
    save();
    setBusy(true);
    footer->showStages(0, buildStageCount(options));
    runInBackground([options, delegate = QPointer<AppDelegate>(this), reveal = services_.reveal] {
        buildInBackground(options, delegate, reveal);
    });
}

void AppDelegate::setBusy(bool busy) {
    active = busy;
    buildButton->setEnabled(!busy);
    downloadButton->setEnabled(!busy);
    arch->setEnabled(!busy);
    if (busy) return;
    footer->hideProgress();
    if (stopSignal) quit();
}

// Runs on a background thread with its own engine and its own copy of the
// record. It reaches the window only by posts, each holding the delegate
// weakly, and since posts arrive in order every progress message is shown
// before the result. Each message begins a stage, so the ones before it are done.
void AppDelegate::buildInBackground(const BuildOptions& options, QPointer<AppDelegate> delegate,
                                    std::function<void(const std::filesystem::path&)> reveal) {
    Kilnsmith engine;
    engine.report = [delegate, total = buildStageCount(options),
                     done = 0](const std::string& message) mutable {
        postToMainThread([delegate, message, done = done++, total] {
            if (delegate) delegate->buildProgressed(message, done, total);
        });
    };
    try {
        const std::filesystem::path app = engine.build(options);
        postToMainThread([delegate, app, reveal] {
            if (delegate) delegate->buildSucceeded(app);
            reveal(app);
        });
    } catch (const std::exception& error) {
        postToMainThread([delegate, message = std::string(error.what())] {
            if (delegate) delegate->endBusyWith(message);
        });
    }
}

void AppDelegate::buildProgressed(const std::string& message, int done, int total) {
    setStatus(message);
    footer->showStages(done, total);
}

void AppDelegate::buildSucceeded(const std::filesystem::path& app) {
    setBusy(false);
    setStatus("\u2713 Built " + app.filename().string());
}

void AppDelegate::endBusyWith(const std::string& failure) {
    setBusy(false);
    // A stop signal broke the work off on purpose, and the window is quitting.
    if (!stopSignal) show(failure);
}

} // namespace bundlekiln::app
