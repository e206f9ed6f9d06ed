// The window's layout at its opening size and at its minimum: nothing spills
// out sideways, nothing overlaps, no text is cut, a short window scrolls
// vertically, and the footer stays in view whatever the error. Each size also
// leaves pictures of the window in the build tree for a person to look at.
#include "delegate_fixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace bundlekiln::app::testing {
namespace {

class WindowLayout : public DelegateTest, public ::testing::WithParamInterface<QSize> {
protected:
    void SetUp() override {
        delegate = launch();
        delegate->window->resize(GetParam());
        scroll = delegate->window->findChild<QScrollArea*>();
        form = delegate->formStack;
        QCoreApplication::processEvents();
        form->layout()->activate();
        QCoreApplication::processEvents();
    }

    std::vector<QWidget*> visibleChildren() const {
        std::vector<QWidget*> found;
        for (auto* child : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->isVisible()) found.push_back(child);
        return found;
    }

    static std::string describe(const QWidget* widget) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const QString text = label ? label->text() : button ? button->text() : widget->objectName();
        return std::string(widget->metaObject()->className()) + " \"" + text.toStdString() + "\"";
    }

    std::unique_ptr<AppDelegate> delegate;
    QScrollArea* scroll = nullptr;
    QWidget* form = nullptr;
};

TEST_P(WindowLayout, EveryControlFitsTheWidthWithoutOverlapping) {
    EXPECT_EQ(delegate->window->size(), GetParam());
    EXPECT_EQ(form->width(), scroll->viewport()->width());
    const auto all = visibleChildren();
    ASSERT_GT(all.size(), 25u);
    for (auto* control : all) {
        EXPECT_GE(control->x(), 24) << describe(control);
        EXPECT_LE(control->geometry().right(), form->width() - 24) << describe(control);
    }
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j)
            EXPECT_FALSE(all[i]->geometry().intersects(all[j]->geometry()))
                << describe(all[i]) << " and " << describe(all[j]);
}

TEST_P(WindowLayout, NoTextIsCut) {
    for (auto* label : delegate->window->findChildren<QLabel*>()) {
        if (!label->isVisible()) continue;
        if (label->wordWrap())
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << describe(label);
        else
            EXPECT_GE(label->width(), label->sizeHint().width()) << describe(label);
        EXPECT_GE(label->height(), label->minimumSizeHint().height()) << describe(label);
    }
    for (auto* button : delegate->window->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        EXPECT_GE(button->width(), button->sizeHint().width()) << describe(button);
        EXPECT_GE(button->height(), button->sizeHint().height()) << describe(button);
    }
}

TEST_P(WindowLayout, ScrollsVerticallyOnlyWhenShorterThanTheForm) {
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    const bool shorter = form->minimumSizeHint().height() > scroll->viewport()->height();
    EXPECT_EQ(scroll->verticalScrollBar()->isVisible(), shorter);
    if (GetParam().height() == 600) {
        EXPECT_TRUE(shorter);
    }
    const QString picture = QString(BUNDLEKILN_SCREENSHOT_DIR "/window-%1x%2.png")
                                .arg(GetParam().width())
                                .arg(GetParam().height());
    EXPECT_TRUE(delegate->window->grab().save(picture));
}

// A tool's report many lines long and one endless line: the status shows the
// start of either, the footer keeps the status and the build button inside
// the window even with the details open, and the details hold the whole text.
TEST_P(WindowLayout, TheFooterShowsHoweverLongTheErrorWithTheWholeTextInItsDetails) {
    std::string manyLines, oneLine;
    for (int line = 0; line < 60; ++line) manyLines += "line " + std::to_string(line) + " of the report\n";
    for (int word = 0; word < 400; ++word) oneLine += "overlong ";
    for (const std::string& error : {oneLine, manyLines}) {
        delegate->show(error);
        delegate->statusLine->detailsToggle()->click();
        delegate->window->layout()->activate();
        EXPECT_EQ(delegate->statusLine->details().toStdString(), "Error: " + error);
        EXPECT_GE(delegate->status->height(), delegate->status->heightForWidth(delegate->status->width()));
        auto* details = delegate->statusLine->findChild<QPlainTextEdit*>();
        for (QWidget* part : std::vector<QWidget*>{delegate->status, details, delegate->buildButton}) {
            EXPECT_TRUE(part->isVisible());
            const QRect inWindow(part->mapTo(delegate->window.get(), QPoint(0, 0)), part->size());
            EXPECT_TRUE(delegate->window->rect().contains(inWindow)) << describe(part);
        }
    }
    EXPECT_EQ(delegate->status->text().toStdString(), "Error: line 0 of the report");
    const QString picture = QString(BUNDLEKILN_SCREENSHOT_DIR "/window-%1x%2-error.png")
                                .arg(GetParam().width())
                                .arg(GetParam().height());
    EXPECT_TRUE(delegate->window->grab().save(picture));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowLayout, ::testing::Values(QSize(780, 850), QSize(700, 600)),
                         [](const auto& info) {
                             return std::to_string(info.param.width()) + "x" +
                                    std::to_string(info.param.height());
                         });

} // namespace
} // namespace bundlekiln::app::testing
