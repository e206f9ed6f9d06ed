#include "delegate_fixture.h"
#include "drop_view.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>

namespace bundlekiln::app::testing {
namespace {

using bundlekiln::testing::writeFile;

/// Drags `data` onto `view` and drops it there, as the window system would
/// (Qt delivers a drop inside a window only after an accepted drag enter);
/// answers whether the view took the drop.
bool drop(DropView& view, QMimeData& data) {
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &enter);
    QDropEvent event(QPointF(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
    event.ignore();
    QCoreApplication::sendEvent(&view, &event);
    return event.isAccepted();
}

QMimeData* urls(const QList<QUrl>& list) {
    auto* data = new QMimeData;
    data->setUrls(list);
    return data;
}

// DropView declares no meta-object of its own, so it is found by its C++ type.
DropView* dropViewOf(const AppDelegate& delegate) {
    for (auto* frame : delegate.window->findChildren<QFrame*>())
        if (auto* view = dynamic_cast<DropView*>(frame)) return view;
    return nullptr;
}

using DropArea = DelegateTest;

TEST_F(DropArea, ADroppedFileURLReachesProjectSelection) {
    writeFile(folder / "page.html", "<p>hi</p>");
    const auto delegate = launch();
    auto* view = dropViewOf(*delegate);
    ASSERT_NE(view, nullptr);
    std::unique_ptr<QMimeData> data(urls({QUrl::fromLocalFile(QString::fromStdString((folder / "page.html").string()))}));
    EXPECT_TRUE(drop(*view, *data));
    EXPECT_EQ(delegate->fields.at("name")->text(), "page");
    EXPECT_EQ(delegate->fields.at("project")->text().toStdString(), (folder / "page.html").string());
}

TEST_F(DropArea, ADropWithoutALocalFileIsRefused) {
    DropView view;
    int calls = 0;
    view.onDrop = [&calls](const std::filesystem::path&) { ++calls; };
    QMimeData text;
    text.setText("/some/path.html");
    EXPECT_FALSE(drop(view, text));
    std::unique_ptr<QMimeData> web(urls({QUrl("https://example.invalid/page.html")}));
    EXPECT_FALSE(drop(view, *web));
    std::unique_ptr<QMimeData> empty(urls({QUrl("file:")}));
    EXPECT_FALSE(drop(view, *empty));
    EXPECT_EQ(calls, 0);
}

TEST_F(DropArea, EveryDragIsOfferedACopyAndAFileDropIsTakenAlsoWithoutACallback) {
    DropView view;
    QMimeData text;
    text.setText("anything");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    std::unique_ptr<QMimeData> file(urls({QUrl::fromLocalFile("/anything.html")}));
    EXPECT_TRUE(drop(view, *file));
}

TEST_F(DropArea, TheCallbackDoesNothingOnceTheDelegateIsGone) {
    writeFile(folder / "page.html", "<p>hi</p>");
    auto delegate = launch();
    ASSERT_NE(dropViewOf(*delegate), nullptr);
    const auto onDrop = dropViewOf(*delegate)->onDrop;
    delegate.reset();
    onDrop(folder / "page.html");
    EXPECT_EQ(beeps, 0);
}

} // namespace
} // namespace bundlekiln::app::testing
