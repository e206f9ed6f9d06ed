#include "window_footer.h"

#include "status_line.h"
#include "work_progress.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace bundlekiln::app {

WindowFooter::WindowFooter(StatusLine* status, QPushButton* buildButton)
    : progress_(new QProgressBar), cancel_(new QPushButton("Cancel")) {
    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* progressLine = new QHBoxLayout;
    progressLine->addWidget(progress_, 1);
    progressLine->addWidget(cancel_);

    // The same insets as the form above, so that the footer lines up with its rows.
    auto* content = new QVBoxLayout;
    content->setContentsMargins(24, 10, 24, 16);
    content->setSpacing(10);
    content->addLayout(progressLine);
    content->addWidget(status);
    content->addWidget(buildButton, 0, Qt::AlignLeft);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(separator);
    stack->addLayout(content);
    hideProgress();
}

void WindowFooter::showStages(int done, int total) {
    progress_->setRange(0, total);
    progress_->setValue(std::clamp(done, 0, total));
    progress_->setFormat("%p%");
    progress_->show();
    cancel_->hide();
}

void WindowFooter::showTransfer(std::int64_t received, std::int64_t total) {
    progress_->setRange(0, 100);
    progress_->setValue(total > 0 ? transferPercent(received, total) : 0);
    progress_->setFormat(QString::fromStdString(transferText(received, total)));
    progress_->show();
    cancel_->show();
}

void WindowFooter::hideProgress() {
    progress_->hide();
    cancel_->hide();
}

} // namespace bundlekiln::app
