#include "drop_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace bundlekiln::app {
namespace {

constexpr qreal cornerRadius = 10;
constexpr qreal borderWidth = 2;

} // namespace

// The border colour is taken once, when the view is made.
DropView::DropView(QWidget* parent) : QFrame(parent), borderColour_(palette().color(QPalette::Mid)) {
    setAcceptDrops(true);
}

std::optional<std::filesystem::path> DropView::droppedFile(const QMimeData& data) {
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) return url.toLocalFile().toStdString();
    }
    return std::nullopt;
}

void DropView::dragEnterEvent(QDragEnterEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropView::dropEvent(QDropEvent* event) {
    const auto file = droppedFile(*event->mimeData());
    if (!file) {
        event->ignore();
        return;
    }
    if (onDrop) onDrop(*file);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DropView::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(borderColour_, borderWidth));
    const qreal inset = borderWidth / 2;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius,
                            cornerRadius);
}

} // namespace bundlekiln::app
