#include "ui_self_test.h"

#include "app_delegate.h"
#include "atomic_file.h"
#include "form_settings.h"

#include <QBuffer>
#include <QByteArray>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace bundlekiln::app {
namespace {

[[noreturn]] void fail(const std::string& check) {
    std::cerr << "UI test failed: " << check << '\n' << std::flush;
    std::_Exit(1);
}

// As the platform would after a real click: the state first, then the action.
void click(AppDelegate& delegate, const std::string& key, bool on) {
    QCheckBox* box = delegate.checks.at(key);
    box->setChecked(on);
    delegate.toggle(box);
}

void checkFramelessExclusivity(AppDelegate& delegate) {
    click(delegate, "frameless", true);
    click(delegate, "close", true);
    if (delegate.on("frameless") || !delegate.on("close")) fail("frameless exclusivity");
    click(delegate, "close", false);
}

void checkSettingsPersistence(AppDelegate& delegate) {
    QLineEdit* name = delegate.fields.at("name");
    name->setText("Persistence Test");
    delegate.save();
    if (delegate.defaults.string(settingsKey("name")) != "Persistence Test") fail("settings persistence");
    name->clear();
    delegate.save();
}

QRect pictureBounds(const QWidget& form, const QWidget& footer) {
    return QRect(0, 0, std::max(form.width(), footer.width()), form.height() + footer.height());
}

// Every row, also those the scroll area leaves out of view, with the footer
// beneath: the window as it would look with room for the whole form.
QPixmap formPicture(QWidget& form, QWidget& footer) {
    QPixmap picture(pictureBounds(form, footer).size());
    if (picture.isNull()) return picture;
    picture.fill(form.palette().color(QPalette::Window));
    QPainter painter(&picture);
    form.render(&painter);
    footer.render(&painter, QPoint(0, form.height()));
    return picture;
}

void renderLayout(QWidget& form, QWidget& footer, const std::filesystem::path& image) {
    const QPixmap picture = formPicture(form, footer);
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG") ||
        png.isEmpty())
        return;
    // A failed write leaves no image rather than a truncated one; it does not fail the test.
    try {
        writeFileAtomically(image, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    } catch (const std::exception&) {}
}

std::string decimal(qreal value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

bool selfTestRequested(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--self-test-ui") != arguments.end();
}

std::filesystem::path stageMarkerFile() {
    std::error_code ignored;
    return std::filesystem::is_directory("/private/tmp", ignored) ? "/private/tmp/nw-ui-stage"
                                                                  : "/tmp/nw-ui-stage";
}

void markStage(const std::string& stage) {
    try {
        writeFileAtomically(stageMarkerFile(), stage);
    } catch (const std::exception&) {}
}

std::string boundsText(const QRectF& bounds) {
    return "(" + decimal(bounds.x()) + ", " + decimal(bounds.y()) + ", " + decimal(bounds.width()) + ", " +
           decimal(bounds.height()) + ")";
}

void runSelfTest(AppDelegate& delegate, QWidget& formStack, QWidget& footer,
                 const std::filesystem::path& image) {
    checkFramelessExclusivity(delegate);
    checkSettingsPersistence(delegate);
    for (QWidget* part : {&formStack, &footer})
        if (QLayout* layout = part->layout()) layout->activate();
    renderLayout(formStack, footer, image);
    std::cout << "UI tests passed: frameless exclusivity, settings persistence, layout render. Bounds: "
              << boundsText(QRectF(pictureBounds(formStack, footer))) << std::endl;
    QCoreApplication::quit();
}

} // namespace bundlekiln::app
