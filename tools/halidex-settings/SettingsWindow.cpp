#include "tools/halidex-settings/SettingsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdlib>

// Xlib defines macros that clash with the toolkit's names, so it comes last.
#include <X11/Xlib.h>

namespace hx::settings {

namespace {

DefaultsValue currentValue(UserDefaults& store, const Preference& preference) {
    if (auto stored = store.objectForKey(preference.key)) return *stored;
    return preference.defaultValue;
}

void save(UserDefaults& store, const Preference& preference, const DefaultsValue& value) {
    store.setObject(value, preference.key);
    store.synchronize();
}

// A folder: its path in a line (the standard place shown greyed while none is chosen), a
// button to pick one and one to go back to the standard place. A path that cannot be used is
// not saved; the reason shows under the line.
QWidget* makeFolderControl(const Preference& preference, UserDefaults& store, QWidget* parent,
                           QLabel* problem) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* line = new QLineEdit(row);
    line->setObjectName(QString::fromStdString(preference.key));
    line->setPlaceholderText(QString::fromStdString(preference.standardPlace));
    auto* choose = new QPushButton("Choose...", row);
    choose->setObjectName(QString::fromStdString(preference.key + "_choose"));
    auto* standard = new QPushButton("Standard place", row);
    standard->setObjectName(QString::fromStdString(preference.key + "_standard"));
    layout->addWidget(line, 1);
    layout->addWidget(choose);
    layout->addWidget(standard);

    auto show = [line, &store, preference] {
        const DefaultsValue value = currentValue(store, preference);
        line->setText(preference.isStandardPlace(value)
                          ? QString()
                          : QString::fromStdString(value.stringValue()));
    };
    auto apply = [show, problem, &store, preference](const QString& text) {
        std::string error;
        auto value = preference.valueFromText(text.toStdString(), &error);
        problem->setText(QString::fromStdString(error));
        problem->setVisible(!value);
        if (value) {
            if (preference.isStandardPlace(*value))
                store.removeObjectForKey(preference.key);
            else
                store.setObject(*value, preference.key);
            store.synchronize();
        }
        show();
    };
    show();
    QObject::connect(line, &QLineEdit::editingFinished, line,
                     [line, apply] { apply(line->text()); });
    QObject::connect(choose, &QPushButton::clicked, row, [row, line, apply] {
        QString start = line->text().isEmpty() ? line->placeholderText() : line->text();
        QString folder = QFileDialog::getExistingDirectory(row, "Folder for new photos", start);
        if (!folder.isEmpty()) apply(folder);
    });
    QObject::connect(standard, &QPushButton::clicked, row, [apply] { apply(QString()); });
    return row;
}

QWidget* makeControl(const Preference& preference, UserDefaults& store, QWidget* parent) {
    const DefaultsValue value = currentValue(store, preference);
    if (preference.kind == Preference::Kind::Switch) {
        auto* box = new QCheckBox(parent);
        box->setChecked(value.boolValue());
        QObject::connect(box, &QCheckBox::toggled, box, [&store, preference](bool on) {
            save(store, preference, DefaultsValue(on));
        });
        return box;
    }
    auto* list = new QComboBox(parent);
    for (const Choice& choice : preference.choices)
        list->addItem(QString::fromStdString(choice.title),
                      QVariant::fromValue<qlonglong>(choice.value));
    const int index = list->findData(QVariant::fromValue<qlonglong>(value.integerValue()));
    list->setCurrentIndex(index >= 0 ? index : 0);
    QObject::connect(
        list, &QComboBox::currentIndexChanged, list, [list, &store, preference](int i) {
            if (i >= 0)
                save(store, preference, DefaultsValue(int64_t(list->itemData(i).toLongLong())));
        });
    return list;
}

}  // namespace

std::unique_ptr<QWidget> makeSettingsWindow(const SettingsBundle& bundle, UserDefaults& store) {
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle("Halidex Camera");
    auto* layout = new QVBoxLayout(window.get());
    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (const Preference& preference : bundle.preferences) {
        if (preference.kind == Preference::Kind::Folder) {
            auto* problem = new QLabel(window.get());
            problem->setObjectName(QString::fromStdString(preference.key + "_problem"));
            problem->setWordWrap(true);
            problem->setStyleSheet("color: #b00020");
            problem->hide();
            form->addRow(QString::fromStdString(preference.title),
                         makeFolderControl(preference, store, window.get(), problem));
            form->addRow(QString(), problem);
            continue;
        }
        QWidget* control = makeControl(preference, store, window.get());
        control->setObjectName(QString::fromStdString(preference.key));
        form->addRow(QString::fromStdString(preference.title), control);
    }
    auto* note = new QLabel("Changes are saved at once.", window.get());
    note->setEnabled(false);
    layout->addWidget(note);
    return window;
}

bool canOpenWindow() {
    // The toolkit aborts when it cannot reach the display, so ask the display first.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) return true;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && *wayland) return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

int runSettingsWindow(int argc, char** argv, const SettingsBundle& bundle, UserDefaults& store) {
    QApplication application(argc, argv);
    auto window = makeSettingsWindow(bundle, store);
    window->show();
    return application.exec();
}

}  // namespace hx::settings
