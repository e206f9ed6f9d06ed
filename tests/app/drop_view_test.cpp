#include "delegate_fixture.h"
#include "drop_view.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QWindow>

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

/// Drags `data` onto the window at the middle of `target` and drops it there,
/// as the window system would: Qt hands it to the widget under the pointer
/// that takes drops, or to its nearest parent that does.
bool dropOnWindow(const AppDelegate& delegate, const QWidget& target, QMimeData& data) {
    QWindow* window = delegate.window->windowHandle();
    const QPoint at = target.mapTo(delegate.window.get(), target.rect().center());
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

using DropArea = DelegateTest;

TEST_F(DropArea, OnlyADropOnTheDropAreaReachesProjectSelectionNeverOneOnATextField) {
    writeFile(folder / "page.html", "<p>hi</p>");
    const auto delegate = launch();
    // As a file manager drags it: the URL also as text, which a text field would type in.
    const QUrl page = QUrl::fromLocalFile(QString::fromStdString((folder / "page.html").string()));
    std::unique_ptr<QMimeData> data(urls({page}));
    data->setText(page.toString());
    for (const auto& [key, field] : delegate->fields) {
        const std::string before = field->text().toStdString();
        EXPECT_FALSE(dropOnWindow(*delegate, *field, *data)) << key;
        EXPECT_EQ(field->text().toStdString(), before) << key;
    }
    ASSERT_NE(dropViewOf(*delegate), nullptr);
    EXPECT_TRUE(dropOnWindow(*delegate, *dropViewOf(*delegate), *data));
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
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                          Qt::NoModifier);
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
