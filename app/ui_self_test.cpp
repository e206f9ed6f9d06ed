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

void renderLayout(QWidget& formStack, const std::filesystem::path& image) {
    if (QLayout* layout = formStack.layout()) layout->activate();
    const QPixmap picture = formStack.grab(formStack.rect());
    QByteArray png;
    QBuffer buffer(&png);
    if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG") || png.isEmpty()) return;
    // A failed write leaves no image rather than a truncated one; it does not fail the test.
    try {
        writeFileAtomically(image, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    } catch (const std::exception&) {
    }
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
    return std::filesystem::is_directory("/private/tmp", ignored) ? "/private/tmp/nw-ui-stage" : "/tmp/nw-ui-stage";
}

void markStage(const std::string& stage) {
    try {
        writeFileAtomically(stageMarkerFile(), stage);
    } catch (const std::exception&) {
    }
}

std::string boundsText(const QRectF& bounds) {
    return "(" + decimal(bounds.x()) + ", " + decimal(bounds.y()) + ", " + decimal(bounds.width()) + ", " +
           decimal(bounds.height()) + ")";
}

void runSelfTest(AppDelegate& delegate, QWidget& formStack, const std::filesystem::path& image) {
    checkFramelessExclusivity(delegate);
    checkSettingsPersistence(delegate);
    renderLayout(formStack, image);
    std::cout << "UI tests passed: frameless exclusivity, settings persistence, layout render. Bounds: "
              << boundsText(QRectF(formStack.rect())) << std::endl;
    QCoreApplication::quit();
}

} // namespace bundlekiln::app
