#include "open_panel.h"

#include "project_selection.h"

#include <QFileInfo>

namespace bundlekiln::app {
namespace {

// Such as "Files (*.html *.htm)".
QString nameFilter(const std::vector<std::string>& types) {
    QStringList patterns;
    for (const auto& type : types) patterns << "*." + QString::fromStdString(type);
    return "Files (" + patterns.join(' ') + ")";
}

QString qt(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

PanelPlace panelPlace(const std::string& current, const std::filesystem::path& home) {
    std::error_code error;
    if (current.empty() || !std::filesystem::exists(current, error)) return {home, std::nullopt};
    const auto item = withoutTrailingSeparators(std::filesystem::absolute(current).lexically_normal());
    return {item.parent_path(), item};
}

OpenPanel::OpenPanel(const PanelRequest& request, QWidget* parent)
    : QFileDialog(parent), filesAndFolders_(request.files && request.directories) {
    // Qt's own dialog everywhere, so that choosing a folder behaves the same on every desktop.
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(QString::fromStdString(request.title));
    if (!request.files) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    } else {
        setFileMode(QFileDialog::ExistingFile);
        if (!request.types.empty()) setNameFilter(nameFilter(request.types));
    }
    setDirectory(qt(request.place.folder));
    if (request.place.selected) selectFile(qt(*request.place.selected));
}

void OpenPanel::accept() {
    const QStringList chosen = selectedFiles();
    if (filesAndFolders_ && chosen.size() == 1 && QFileInfo(chosen.front()).isDir()) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

std::optional<std::filesystem::path> runOpenPanel(const PanelRequest& request, QWidget* parent) {
    OpenPanel panel(request, parent);
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().size() != 1) return std::nullopt;
    return panel.selectedFiles().front().toStdString();
}

} // namespace bundlekiln::app
