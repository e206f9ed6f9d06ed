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
        delegate->window->resize(GetParam());
        QCoreApplication::processEvents();
        delegate->formStack->layout()->activate();
        QCoreApplication::processEvents();
    }

    static std::string describe(const QWidget* widget) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const QString text = label ? label->text() : button ? button->text() : widget->objectName();
        return std::string(widget->metaObject()->className()) + " \"" + text.toStdString() + "\"";
    }
    void savePicture(const char* suffix) const {
        const QSize size = GetParam();
        const QString name = QString("/window-%1x%2%3.png").arg(size.width()).arg(size.height()).arg(suffix);
        EXPECT_TRUE(delegate->window->grab().save(BUNDLEKILN_SCREENSHOT_DIR + name));
    }

    std::unique_ptr<AppDelegate> delegate = launch();
};

TEST_P(WindowLayout, EveryControlFitsWithoutOverlapOrCutTextAndOnlyAShortWindowScrolls) {
    const QWidget* form = delegate->formStack;
    const auto* scroll = delegate->window->findChild<QScrollArea*>();
    EXPECT_EQ(delegate->window->size(), GetParam());
    EXPECT_EQ(form->width(), scroll->viewport()->width());
    std::vector<QWidget*> rows;
    for (auto* child : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) rows.push_back(child);
    ASSERT_GT(rows.size(), 25u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_GE(rows[i]->x(), 24) << describe(rows[i]);
        EXPECT_LE(rows[i]->geometry().right(), form->width() - 24) << describe(rows[i]);
        for (size_t j = i + 1; j < rows.size(); ++j)
            EXPECT_FALSE(rows[i]->geometry().intersects(rows[j]->geometry()))
                << describe(rows[i]) << " and " << describe(rows[j]);
    }
    for (auto* label : delegate->window->findChildren<QLabel*>()) {
        const QSize needed =
            label->wordWrap() ? QSize(0, label->heightForWidth(label->width())) : label->sizeHint();
        EXPECT_TRUE(!label->isVisible() || label->size().expandedTo(needed) == label->size())
            << describe(label);
    }
    for (auto* button : delegate->window->findChildren<QAbstractButton*>())
        EXPECT_TRUE(!button->isVisible() || button->size().expandedTo(button->sizeHint()) == button->size())
            << describe(button);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    const bool shorter = form->minimumSizeHint().height() > scroll->viewport()->height();
    EXPECT_EQ(scroll->verticalScrollBar()->isVisible(), shorter);
    EXPECT_TRUE(shorter || GetParam().height() != 600);
    savePicture("");
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
    savePicture("-error");
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowLayout, ::testing::Values(QSize(780, 850), QSize(700, 600)),
                         [](const auto& info) {
                             return std::to_string(info.param.width()) + "x" +
                                    std::to_string(info.param.height());
                         });

} // namespace
} // namespace bundlekiln::app::testing
