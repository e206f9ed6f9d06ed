#pragma once

#include <QFileDialog>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bundlekiln::app {

/// Where an open panel starts: the folder it shows, and the item selected there.
struct PanelPlace {
    std::filesystem::path folder;
    std::optional<std::filesystem::path> selected;

    bool operator==(const PanelPlace&) const = default;
};

/// The place of a panel for a field that holds `current`: the item selected in
/// its folder when it exists, otherwise `home`. A relative path is taken from
/// the working folder.
PanelPlace panelPlace(const std::string& current, const std::filesystem::path& home);

/// What an open panel may choose, its title and where it starts. A panel that
/// cannot choose files always chooses folders. `types` are file name
/// extensions; empty means any file.
struct PanelRequest {
    bool files = true;
    bool directories = false;
    std::vector<std::string> types;
    std::string title;
    PanelPlace place;

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
