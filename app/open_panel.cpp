#include "open_panel.h"

#include <QFileInfo>

namespace bundlekiln::app {
namespace {

// Such as "Files (*.html *.htm)".
QString nameFilter(const std::vector<std::string>& types) {
    QStringList patterns;
    for (const auto& type : types) patterns << "*." + QString::fromStdString(type);
    return "Files (" + patterns.join(' ') + ")";
}

} // namespace

OpenPanel::OpenPanel(const PanelRequest& request, QWidget* parent)
    : QFileDialog(parent), filesAndFolders_(request.files && request.directories) {
    // Qt's own dialog everywhere, so that choosing a folder behaves the same on every desktop.
    setOption(QFileDialog::DontUseNativeDialog);
    if (!request.files) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        return;
    }
    setFileMode(QFileDialog::ExistingFile);
    if (!request.types.empty()) setNameFilter(nameFilter(request.types));
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
