#pragma once

#include <QFileDialog>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bundlekiln::app {

/// What an open panel may choose. A panel that cannot choose files always
/// chooses folders. `types` are file name extensions; empty means any file.
struct PanelRequest {
    bool files = true;
    bool directories = false;
    std::vector<std::string> types;

    bool operator==(const PanelRequest&) const = default;
};

/// A modal file dialog for one item, set up from a request. When files and
/// folders may both be chosen, confirming a selected folder chooses it
/// (double-clicking still opens it); a files-only panel steps into a folder
/// instead.
class OpenPanel : public QFileDialog {
public:
    explicit OpenPanel(const PanelRequest& request, QWidget* parent = nullptr);

    void accept() override;

private:
    bool filesAndFolders_;
};

/// Runs an OpenPanel over `parent` and returns the chosen item, or none when
/// the user cancels.
std::optional<std::filesystem::path> runOpenPanel(const PanelRequest& request, QWidget* parent);

} // namespace bundlekiln::app
