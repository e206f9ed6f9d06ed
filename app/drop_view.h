#pragma once

#include <QColor>
#include <QFrame>

#include <filesystem>
#include <functional>
#include <optional>

class QMimeData;

namespace bundlekiln::app {

/// The window's drop area: a framed box that takes one dropped file or
/// folder and hands its path to `onDrop`. Every drag is offered a copy; a
/// drop that carries no local file is refused.
class DropView : public QFrame {
public:
    explicit DropView(QWidget* parent = nullptr);

    /// Called with the dropped item's path; a drop is accepted also when unset.
    std::function<void(const std::filesystem::path&)> onDrop;

    /// The first local file that `data` names, if any.
    static std::optional<std::filesystem::path> droppedFile(const QMimeData& data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor borderColour_;
};

} // namespace bundlekiln::app
