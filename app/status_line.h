#pragma once

#include <QWidget>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bundlekiln::app {

/// What the status line shows of a message: its first line, cut after a word
/// to at most `summaryLength` characters (with "…"), so that no message can
/// grow the line without bound. `whole` when that is the entire message.
struct StatusSummary {
    static constexpr std::size_t summaryLength = 200;

    std::string shown;
    bool whole;
};
StatusSummary summarize(const std::string& message);

/// The window's status display: a message in the secondary colour, or an
/// error in the error colour behind a mark. It shows a message's summary;
/// when that is not the whole message, "Show Details" opens the entire text
/// in a small scrolling pane beneath.
class StatusLine : public QWidget {
public:
    explicit StatusLine(const QString& initial);

    /// The line itself, the window's `status`.
    QLabel* label() const { return label_; }
    QPushButton* detailsToggle() const { return toggle_; }
    /// The entire current message, as the details pane holds it.
    QString details() const;

    void showMessage(const std::string& message);
    void showError(const std::string& message);

private:
    void display(const std::string& message, bool error);
    void showDetails(bool shown);

    QLabel* mark_;
    QLabel* label_;
    QPushButton* toggle_;
    QPlainTextEdit* details_;
};

} // namespace bundlekiln::app
