#pragma once

#include <QWidget>

#include <functional>

namespace bundlekiln::app {

/// The program's one top-level window. Closing it is a request to quit:
/// `shouldClose` decides, and when it answers false the window stays open.
class AppWindow : public QWidget {
public:
    std::function<bool()> shouldClose;

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace bundlekiln::app
