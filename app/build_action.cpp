// The build button's action and the busy state it shares with the download.
#include "app_delegate.h"

#include "build_form.h"
#include "kilnsmith.h"
#include "main_thread.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace bundlekiln::app {

void AppDelegate::build() {
    const FormValues values = form();
    if (const auto refusal = buildRefusal(values)) return show(*refusal);
    const BuildOptions options = buildOptions(values);
    save();
    setBusy(true);
    runInBackground([options, delegate = QPointer<AppDelegate>(this), reveal = services_.reveal] {
        buildInBackground(options, delegate, reveal);
    });
}

void AppDelegate::setBusy(bool busy) {
    active = busy;
    buildButton->setEnabled(!busy);
    downloadButton->setEnabled(!busy);
    arch->setEnabled(!busy);
    if (!busy && stopSignal) quit();
}

// Runs on a background thread with its own engine and its own copy of the
// record. It reaches the window only by posts, each holding the delegate
// weakly, and since posts arrive in order every progress message is shown
// before the result.
void AppDelegate::buildInBackground(const BuildOptions& options, QPointer<AppDelegate> delegate,
                                    std::function<void(const std::filesystem::path&)> reveal) {
    Kilnsmith engine;
    engine.report = [delegate](const std::string& message) {
        postToMainThread([delegate, message] {
            if (delegate) delegate->status->setText(QString::fromStdString(message));
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

void AppDelegate::buildSucceeded(const std::filesystem::path& app) {
    setBusy(false);
    status->setText(QString::fromStdString("\u2713 Built " + app.filename().string()));
}

void AppDelegate::endBusyWith(const std::string& failure) {
    setBusy(false);
    // A stop signal broke the work off on purpose, and the window is quitting.
    if (!stopSignal) show(failure);
}

} // namespace bundlekiln::app
