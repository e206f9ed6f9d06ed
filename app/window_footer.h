#pragma once

#include <QWidget>

#include <cstdint>

class QProgressBar;
class QPushButton;

namespace bundlekiln::app {

class StatusLine;

/// The strip below the scrolling form, so that the status and the build
/// button show however short the window and however long the message: while
/// busy a progress bar (with Cancel during a download), then the status line,
/// then the build button.
class WindowFooter : public QWidget {
public:
    WindowFooter(StatusLine* status, QPushButton* buildButton);

    QProgressBar* progress() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }

    /// The bar at `done` of `total` build stages, without Cancel.
    void showStages(int done, int total);
    /// The bar at the bytes received so far, with Cancel; while the total is
    /// unknown (not positive) it stays empty and names the bytes alone.
    void showTransfer(std::int64_t received, std::int64_t total);
    void hideProgress();

private:
    QProgressBar* progress_;
    QPushButton* cancel_;
};

} // namespace bundlekiln::app
