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

using DropArea = DelegateTest;

/// Drags `data` onto `window` at `at` and drops it there, as the window system
/// would: Qt hands it to the widget under the pointer that takes drops, or to
/// its nearest parent that does. Answers whether the drop was taken and, in
/// `offered`, the action that the drag enter was answered with.
bool dropOn(QObject* window, QPoint at, const QMimeData& data, Qt::DropAction* offered = nullptr) {
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(window, &enter);
    if (offered) *offered = enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

DropView* dropViewOf(const AppDelegate& delegate) {
    // DropView declares no meta-object of its own, so it is found by its C++ type.
    for (auto* frame : delegate.window->findChildren<QFrame*>())
        if (auto* view = dynamic_cast<DropView*>(frame)) return view;
    return nullptr;
}

QPoint middleOf(const AppDelegate& delegate, const QWidget& target) {
    return target.mapTo(delegate.window.get(), target.rect().center());
}

// As a file manager drags a file: the URL also as text, which a text field would type in.
TEST_F(DropArea, OnlyADropOnTheDropAreaReachesProjectSelectionNeverOneOnATextField) {
    bundlekiln::testing::writeFile(folder / "page.html", "<p>hi</p>");
    auto delegate = launch();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString((folder / "page.html").string()))});
    data.setText(data.urls().front().toString());
    for (const auto& [key, field] : delegate->fields) {
        const QString before = field->text();
        EXPECT_FALSE(dropOn(delegate->window->windowHandle(), middleOf(*delegate, *field), data)) << key;
        EXPECT_EQ(field->text(), before) << key;
    }
    DropView* view = dropViewOf(*delegate);
    ASSERT_NE(view, nullptr);
    Qt::DropAction offered = Qt::IgnoreAction;
    EXPECT_TRUE(dropOn(delegate->window->windowHandle(), middleOf(*delegate, *view), data, &offered));
    EXPECT_EQ(offered, Qt::CopyAction);
    EXPECT_EQ(delegate->fields.at("name")->text(), "page");
    EXPECT_EQ(delegate->fields.at("project")->text().toStdString(), (folder / "page.html").string());
    // Its action does nothing once the window's delegate is gone.
    const auto onDrop = view->onDrop;
    delegate.reset();
    onDrop(folder / "page.html");
    EXPECT_EQ(beeps, 0);
}

TEST_F(DropArea, ADropWithoutALocalFileIsRefused) {
    DropView view;
    view.onDrop = [](const std::filesystem::path& item) { ADD_FAILURE() << item; };
    for (const QList<QUrl>& urls :
         {QList<QUrl>{}, {QUrl("https://example.invalid/page.html")}, {QUrl("file:")}}) {
        QMimeData data;
        data.setUrls(urls);
        data.setText("/some/path.html");
        EXPECT_FALSE(dropOn(&view, {5, 5}, data)) << urls.size();
    }
}

} // namespace
} // namespace bundlekiln::app::testing
