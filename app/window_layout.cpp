// Builds the delegate's window: one vertical form of labelled rows inside a
// scroll area that scrolls vertically only, above a footer that always shows.
#include "app_delegate.h"

#include "drop_view.h"
#include "form_rules.h"
#include "ui_self_test.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <type_traits>

namespace bundlekiln::app {
namespace {

constexpr int labelWidth = 120;

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QHBoxLayout* horizontalStack(int spacing, QWidget* owner = nullptr) {
    auto* stack = new QHBoxLayout(owner);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(spacing);
    return stack;
}

QLabel* boldLabel(const QString& text, int pixelSize) {
    auto* label = new QLabel(text);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    label->setFont(font);
    return label;
}

void useSecondaryColour(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
}

QLabel* secondaryText(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    useSecondaryColour(label);
    return label;
}

// A stored index beyond the pop-up's range is handed on as none selected.
int popUpIndex(std::int64_t stored) {
    const bool fits = stored >= std::numeric_limits<int>::min() && stored <= std::numeric_limits<int>::max();
    return fits ? static_cast<int>(stored) : -1;
}

} // namespace

void AppDelegate::applicationDidFinishLaunching() {
    const bool selfTest = selfTestRequested(arguments_);
    if (selfTest) markStage("started");
    buildWindow();
    CheckStates states = checkStates();
    resolveFrameOptions(states);
    setCheckStates(states);
    updateControls();
    if (selfTest) markStage("layout built");
    centreAndShow();
    if (selfTest) scheduleSelfTest();
}

void AppDelegate::buildWindow() {
    window = std::make_unique<AppWindow>();
    window->setWindowTitle("Bundlekiln ZEVEV v4.6");
    window->resize(780, 850);
    window->setMinimumSize(700, 600);
    window->shouldClose = [this] { return applicationShouldTerminate(); };

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidget(buildForm());

    auto* content = new QVBoxLayout(window.get());
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(0);
    content->addWidget(scroll, 1);
    content->addWidget(buildFooter());
}

QWidget* AppDelegate::buildForm() {
    formStack = new QWidget;
    auto* form = new QVBoxLayout(formStack);
    form->setSpacing(10);
    form->setContentsMargins(24, 20, 24, 20);

    form->addWidget(boldLabel("Bundlekiln \u00b7 ZEVEV v4.6", 25));
    form->addWidget(
        secondaryText("HTML and NW.js projects \u2192 Mac apps. Your source files stay unchanged."));

    auto* drop = new DropView;
    drop->setFixedHeight(64);
    auto* dropLayout = new QVBoxLayout(drop);
    dropLayout->addWidget(new QLabel("Drop an HTML file or project folder here"), 0, Qt::AlignCenter);
    drop->onDrop = [delegate = QPointer<AppDelegate>(this)](const std::filesystem::path& project) {
        if (delegate) delegate->selectProject(project);
    };
    form->addWidget(drop);

    for (const ControlRow& control : controlTable(services_.downloadsFolder.string()))
        addControl(form, control);

    form->addWidget(
        secondaryText("Optional: use a Developer ID Application certificate and an existing notarytool "
                      "Keychain profile. Passwords are never requested or saved. Without Developer ID, "
                      "apps receive a local ad-hoc signature."));
    // Keeps the rows at the top when the window is taller than the form.
    form->addStretch(1);
    return formStack;
}

QWidget* AppDelegate::buildFooter() {
    buildButton->setMinimumSize(160, 34);
    footer = new WindowFooter(statusLine, buildButton);
    connect(footer->cancelButton(), &QPushButton::clicked, this, [this] { cancelDownload(); });
    return footer;
}

void AppDelegate::addControl(QBoxLayout* form, const ControlRow& control) {
    std::visit(
        [this, form](const auto& spec) {
            using Row = std::decay_t<decltype(spec)>;
            if constexpr (std::is_same_v<Row, FieldRow>) {
                field(form, spec);
            } else if constexpr (std::is_same_v<Row, CheckRow>) {
                check(form, spec);
            } else if constexpr (std::is_same_v<Row, ArchitectureRow>) {
                architecture(form, spec);
            } else if constexpr (std::is_same_v<Row, DownloadButtonRow>) {
                form->addWidget(downloadButton, 0, Qt::AlignLeft);
            } else if constexpr (std::is_same_v<Row, SectionLabel>) {
                form->addWidget(boldLabel(qt(spec.title), 14));
            } else if constexpr (std::is_same_v<Row, SizeLine>) {
                auto* line = horizontalStack(12);
                field(line, spec.width);
                field(line, spec.height);
                line->addStretch(1);
                form->addLayout(line);
            } else if constexpr (std::is_same_v<Row, CheckLine>) {
                auto* line = horizontalStack(20);
                for (const CheckRow& box : spec.checks) check(line, box);
                line->addStretch(1);
                form->addLayout(line);
            }
        },
        control);
}

// In the vertical form a row spans the form's width between its insets; in a
// horizontal line it keeps its natural width.
void AppDelegate::row(QBoxLayout* stack, const std::string& label, QWidget* view) {
    auto* line = new QWidget;
    auto* layout = horizontalStack(10, line);
    auto* title = new QLabel(qt(label));
    title->setFixedWidth(labelWidth);
    layout->addWidget(title);
    layout->addWidget(view);
    stack->addWidget(line);
}

void AppDelegate::field(QBoxLayout* stack, const FieldRow& spec) {
    auto* input = new QLineEdit(qt(restoredText(defaults, spec.key, spec.initial)));
    fields[spec.key] = input;
    // A drop that misses the drop area must not type a file URL into a field.
    input->setAcceptDrops(false);
    input->setMinimumWidth(spec.key == "width" || spec.key == "height" ? 70 : 150);
    auto* inner = new QWidget;
    auto* layout = horizontalStack(8, inner);
    layout->addWidget(input);
    if (spec.button) {
        auto* button = new QPushButton(qt(spec.button->title));
        connect(button, &QPushButton::clicked, this,
                [this, action = spec.button->action] { choose(action); });
        layout->addWidget(button);
    }
    row(stack, spec.label, inner);
}

void AppDelegate::check(QBoxLayout* stack, const CheckRow& spec) {
    auto* box = new QCheckBox(qt(spec.title));
    box->setObjectName(qt(spec.key));
    box->setChecked(restoredCheck(defaults, spec.key, spec.initial));
    connect(box, &QCheckBox::clicked, this, [this, box] { toggle(box); });
    checks[spec.key] = box;
    stack->addWidget(box);
}

void AppDelegate::architecture(QBoxLayout* stack, const ArchitectureRow& spec) {
    for (const std::string& item : spec.items) arch->addItem(qt(item));
    arch->setCurrentIndex(popUpIndex(restoredArchitecture(defaults)));
    row(stack, spec.label, arch);
}

void AppDelegate::centreAndShow() {
    if (const QScreen* screen = QApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

// A second after the window is shown, so that it has been laid out and drawn
// as a person would first see it. The delegate is the timer's context: a
// delegate that is gone runs no test.
void AppDelegate::scheduleSelfTest() {
    QTimer::singleShot(1000, this, [this, image = std::filesystem::path(arguments_.back())] {
        if (formStack && footer) runSelfTest(*this, *formStack, *footer, image);
    });
}

} // namespace bundlekiln::app
