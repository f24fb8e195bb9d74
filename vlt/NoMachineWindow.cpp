#include "vlt/NoMachineWindow.h"

#include <unistd.h>

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"

namespace vltmain {
namespace {

QString Html(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

// A folder below the home folder as "~/...", as people write it.
QString Shown(const std::filesystem::path& folder) {
    const QString path = QString::fromStdString(folder.string());
    const QString home = QDir::homePath();
    return home != "/" && path.startsWith(home + "/") ? "~" + path.mid(home.size()) : path;
}

// The first lines, in plain words: what Velto checks and what it did not find.
QString Intro(const machine::MachineLocation& location) {
    std::error_code ec;
    const QString folder = Shown(location.folder).toHtmlEscaped();
    const QString missing =
        std::filesystem::exists(location.folder, ec)
            ? "The machine in <tt>" + folder + "</tt> cannot be opened."
            : "There is no machine in <tt>" + folder + "</tt>, where Velto looks first.";
    return "<p><b>Choose what Velto checks.</b></p>"
           "<p>Velto checks a <b>Wine prefix</b> (the Windows folders a game launcher or "
           "<tt>wine</tt> itself made, such as <tt>~/.wine</tt>), a <b>Windows installation "
           "that is not running</b> (a mounted Windows partition or disk image, such as "
           "<tt>/mnt/windows</tt>: open its folder) or an <b>emulated Windows machine</b> (a "
           "folder with <tt>machine.ini</tt>, <tt>registry.db</tt> and the folders of its "
           "drives). " +
           missing + "</p>";
}

}  // namespace

NoMachineWindow::NoMachineWindow(machine::MachineLocation location, const std::string& problem)
    : location_(std::move(location)) {
    setObjectName("NoMachineWindow");
    setWindowTitle("Velto: choose what to check");
    lbProblem = new QLabel(Intro(location_), this);
    lbProblem->setObjectName("lbProblem");
    lbProblem->setWordWrap(true);
    // The reason itself is for whoever asks: it names files and options a first look needs not.
    lbProblem->setToolTip(QString::fromStdString(problem));

    lbPrefixes = new QLabel(this);
    lbPrefixes->setObjectName("lbPrefixes");
    lbPrefixes->setWordWrap(true);
    lvPrefixes = new QTreeWidget(this);
    lvPrefixes->setObjectName("lvPrefixes");
    lvPrefixes->setHeaderLabels({"Launcher", "Name", "In use", "Folder"});
    lvPrefixes->setRootIsDecorated(false);
    lvPrefixes->setAllColumnsShowFocus(true);
    lvPrefixes->header()->setStretchLastSection(true);

    auto* lbHow = new QLabel(
        "<p>To see what Velto does first, create the demo machine, or in a terminal:<br>"
        "<tt>velto-machine create " +
            Html(location_.folder.string()) +
            " --demo</tt></p>"
            "<p>To check a folder every time, start <tt>vlt --machine DIR</tt> (or a prefix's "
            "name, such as <tt>steam:220</tt>; <tt>velto-machine prefixes</tt> lists them) "
            "or set <tt>VELTO_MACHINE</tt>.</p>",
        this);
    lbHow->setWordWrap(true);
    lbHow->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName("lbStatus");
    lbStatus->setWordWrap(true);
    lbStatus->setStyleSheet("color: #a00000");

    cmdOpenPrefix = new QPushButton("&Check the Chosen Prefix", this);
    cmdOpenPrefix->setObjectName("cmdOpenPrefix");
    cmdOpenPrefix->setDefault(true);
    cmdOpen = new QPushButton("Open &Another Folder...", this);
    cmdOpen->setObjectName("cmdOpen");
    cmdCreate = new QPushButton("Create the &Demo Machine", this);
    cmdCreate->setObjectName("cmdCreate");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    connect(cmdOpenPrefix, &QPushButton::clicked, this, [this] { cmdOpenPrefix_Click(); });
    connect(lvPrefixes, &QTreeWidget::itemActivated, this, [this] { cmdOpenPrefix_Click(); });
    connect(cmdCreate, &QPushButton::clicked, this, [this] { cmdCreate_Click(); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { cmdOpen_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpenPrefix);
    buttons->addWidget(cmdOpen);
    buttons->addWidget(cmdCreate);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbProblem);
    layout->addWidget(lbPrefixes);
    layout->addWidget(lvPrefixes, 1);
    layout->addWidget(lbHow);
    layout->addWidget(lbStatus);
    layout->addLayout(buttons);
    setMinimumWidth(720);
    ShowPrefixes({});

    chooseFolder = [this]() -> std::optional<std::filesystem::path> {
        const auto dialog = MakeFolderDialog(this);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return std::filesystem::path(dialog->selectedFiles().front().toStdString());
    };
    machineTool = FindMachineTool();
}

void NoMachineWindow::ShowPrefixes(std::vector<wine::prefixes::FoundPrefix> found) {
    prefixes_.clear();
    lvPrefixes->clear();
    std::size_t others = 0;
    for (auto& row : found) {
        if (!row.isPrefix()) {
            ++others;
            continue;
        }
        const auto& naming = row.naming();
        const bool held = row.facts.server.state != wine::ServerState::NotRunning;
        auto* item =
            new QTreeWidgetItem(lvPrefixes, {QString::fromStdString(naming.launcherTitle()),
                                             QString::fromStdString(naming.shownName()),
                                             held ? "yes" : "no", Shown(row.folder)});
        item->setToolTip(3, QString::fromStdString(naming.machineName()));
        prefixes_.push_back(std::move(row));
    }
    for (int column = 0; column < 3; ++column) {
        lvPrefixes->resizeColumnToContents(column);
    }
    if (!prefixes_.empty()) {
        lvPrefixes->setCurrentItem(lvPrefixes->topLevelItem(0));
    }
    const std::string count = std::to_string(prefixes_.size());
    lbPrefixes->setText(
        prefixes_.empty()
            ? "<b>No Wine prefix was found</b> (of Steam, Lutris, Bottles, Heroic, PlayOnLinux, "
              "CrossOver, <tt>$WINEPREFIX</tt> or <tt>~/.wine</tt>)."
            : QString::fromStdString("<b>Wine prefixes found</b> (" + count + ")") +
                  (others == 0
                       ? QString(":")
                       : QString::fromStdString(
                             "; " + std::to_string(others) +
                             (others == 1 ? " more folder a launcher names is no prefix"
                                          : " more folders the launchers name are no prefixes") +
                             " (<tt>velto-machine prefixes</tt> says why):")));
    lvPrefixes->setVisible(!prefixes_.empty());
    cmdOpenPrefix->setVisible(!prefixes_.empty());
}

std::shared_ptr<machine::Machine> NoMachineWindow::Ask() {
    // Creating over a folder that holds something else would fail anyway; the button is only
    // offered where create can work.
    std::error_code ec;
    const bool free = !std::filesystem::exists(location_.folder, ec) ||
                      (std::filesystem::is_directory(location_.folder, ec) &&
                       std::filesystem::is_empty(location_.folder, ec));
    cmdCreate->setVisible(!machineTool.empty() && free);
    cmdCreate->setToolTip(QString::fromStdString("Creates " + location_.folder.string()));
    exec();
    return machine();
}

void NoMachineWindow::cmdOpenPrefix_Click() {
    const int chosen = lvPrefixes->indexOfTopLevelItem(lvPrefixes->currentItem());
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= prefixes_.size()) {
        lbStatus->setText("Choose a prefix in the list first.");
        return;
    }
    Open(prefixes_[static_cast<std::size_t>(chosen)].folder);
}

void NoMachineWindow::cmdCreate_Click() {
    QProcess create;
    create.start(QString::fromStdString(machineTool.string()),
                 {"create", QString::fromStdString(location_.folder.string()), "--demo"});
    lbStatus->setText("Creating the demo machine...");
    if (!create.waitForFinished(-1) || create.exitStatus() != QProcess::NormalExit ||
        create.exitCode() != 0) {
        const QString why = QString::fromLocal8Bit(create.readAllStandardError()).trimmed();
        lbStatus->setText("The demo machine could not be created: " +
                          (why.isEmpty() ? create.errorString() : why));
        return;
    }
    Open(location_.folder);
}

void NoMachineWindow::cmdOpen_Click() {
    if (const auto folder = chooseFolder()) {
        Open(*folder);
    }
}

void NoMachineWindow::Open(const std::filesystem::path& folder) {
    try {
        machine_ = kinds::OpenToChange(folder, holder, options);
        accept();
    } catch (const machine::MachineError& error) {
        lbStatus->setText(Html(error.what()));
    }
}

std::unique_ptr<QFileDialog> MakeFolderDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, "Open a Wine Prefix or Machine Folder",
                                                QDir::homePath());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    // The desktop's own dialog may keep hidden folders hidden whatever it is told.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFilter(dialog->filter() | QDir::Hidden);
    return dialog;
}

std::filesystem::path FindMachineTool() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        for (const auto& candidate : {self.parent_path() / "velto-machine",
                                      self.parent_path().parent_path() / "tools/velto-machine"}) {
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
    }
    const QString onPath = QStandardPaths::findExecutable("velto-machine");
    return onPath.isEmpty() ? std::filesystem::path() : std::filesystem::path(onPath.toStdString());
}

}  // namespace vltmain
