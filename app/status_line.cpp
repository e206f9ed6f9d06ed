#include "status_line.h"

#include "form_rules.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace bundlekiln::app {
namespace {

constexpr int detailLines = 6;
const QColor errorColour(0xc6, 0x28, 0x28);

// At the last blank within the limit or, in one long word such as a path, at
// the last whole UTF-8 character.
std::string cutAfterWord(const std::string& line, std::size_t limit) {
    std::size_t end = line.rfind(' ', limit);
    if (end == std::string::npos || end == 0) {
        end = limit;
        while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
    }
    return line.substr(0, end) + "\u2026";
}

} // namespace

StatusSummary summarize(const std::string& message) {
    const std::string firstLine = message.substr(0, message.find('\n'));
    if (firstLine.size() > StatusSummary::summaryLength)
        return {cutAfterWord(firstLine, StatusSummary::summaryLength), false};
    return {firstLine, trimmed(message.substr(firstLine.size())).empty()};
}

StatusLine::StatusLine(const QString& initial)
    : mark_(new QLabel),
      label_(new QLabel),
      toggle_(new QPushButton("Show Details")),
      details_(new QPlainTextEdit) {
    mark_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(fontMetrics().height()));
    // A tool's output is shown as it is, never read as markup.
    label_->setTextFormat(Qt::PlainText);
    label_->setWordWrap(true);
    toggle_->setCheckable(true);
    connect(toggle_, &QPushButton::toggled, this, [this](bool shown) { showDetails(shown); });
    details_->setReadOnly(true);
    // Long paths wrap too, so that the pane only ever scrolls down.
    details_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    details_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details_->setFixedHeight(details_->fontMetrics().lineSpacing() * detailLines +
                             2 * details_->frameWidth() + 8);
    details_->hide();

    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(mark_, 0, Qt::AlignTop);
    line->addWidget(label_, 1);
    line->addWidget(toggle_, 0, Qt::AlignTop);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addLayout(line);
    stack->addWidget(details_);
    showMessage(initial.toStdString());
}

QString StatusLine::details() const {
    return details_->toPlainText();
}

void StatusLine::showMessage(const std::string& message) {
    display(message, false);
}

void StatusLine::showError(const std::string& message) {
    display(message, true);
}

void StatusLine::display(const std::string& message, bool error) {
    const StatusSummary summary = summarize(message);
    label_->setText(QString::fromStdString(summary.shown));
    QPalette colours = label_->palette();
    colours.setColor(QPalette::WindowText, error ? errorColour : palette().color(QPalette::PlaceholderText));
    label_->setPalette(colours);
    mark_->setVisible(error);
    details_->setPlainText(QString::fromStdString(message));
    toggle_->setVisible(!summary.whole);
    // Each message starts with its details closed.
    toggle_->setChecked(false);
}

void StatusLine::showDetails(bool shown) {
    details_->setVisible(shown);
    toggle_->setText(shown ? "Hide Details" : "Show Details");
}

} // namespace bundlekiln::app
