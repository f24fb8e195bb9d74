#include "vlt/NoMachineWindow.h"

#include <unistd.h>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"

namespace vltmain {
namespace {

QString Html(const std::string& text) {
    return QString::fromStdString(text).toHtmlEscaped();
}

}  // namespace

NoMachineWindow::NoMachineWindow(machine::MachineLocation location, const std::string& problem)
    : location_(std::move(location)) {
    setObjectName("NoMachineWindow");
    setWindowTitle("Velto: no machine to check");
    const std::string folder = location_.folder.string();
    auto* lbIntro = new QLabel(
        "<p><b>Velto has no machine to check.</b></p>"
        "<p>Velto checks an emulated Windows machine: a folder with its profile "
        "(<tt>machine.ini</tt>), its registry (<tt>registry.db</tt>) and the folders that stand "
        "for its drives.</p>",
        this);
    lbIntro->setWordWrap(true);
    lbProblem = new QLabel(Html(problem), this);
    lbProblem->setObjectName("lbProblem");
    lbProblem->setWordWrap(true);
    lbProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* lbHow = new QLabel(
        "<p><b>To make one</b>, create a demo machine here, or in a terminal:<br>"
        "<tt>velto-machine create " +
            Html(folder) +
            " --demo</tt></p>"
            "<p><b>To choose one</b>, open a machine folder for this run. To use another "
            "folder every time, start <tt>vlt --machine DIR</tt> or set "
            "<tt>VELTO_MACHINE</tt>.</p>",
        this);
    lbHow->setWordWrap(true);
    lbHow->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName("lbStatus");
    lbStatus->setWordWrap(true);
    lbStatus->setStyleSheet("color: #a00000");

    cmdCreate = new QPushButton("&Create a Demo Machine", this);
    cmdCreate->setObjectName("cmdCreate");
    cmdOpen = new QPushButton("&Open a Machine Folder...", this);
    cmdOpen->setObjectName("cmdOpen");
    cmdClose = new QPushButton("Close", this);
    cmdClose->setObjectName("cmdClose");
    connect(cmdCreate, &QPushButton::clicked, this, [this] { cmdCreate_Click(); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { cmdOpen_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCreate);
    buttons->addWidget(cmdOpen);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbIntro);
    layout->addWidget(lbProblem);
    layout->addWidget(lbHow);
    layout->addWidget(lbStatus);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    chooseFolder = [this]() -> std::optional<std::filesystem::path> {
        const QString chosen = QFileDialog::getExistingDirectory(this, "Open a Machine Folder");
        if (chosen.isEmpty()) {
            return std::nullopt;
        }
        return std::filesystem::path(chosen.toStdString());
    };
    machineTool = FindMachineTool();
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
    try {
        Opened(kinds::OpenMachine(location_.folder));
    } catch (const machine::MachineError& error) {
        lbStatus->setText(Html(error.what()));
    }
}

void NoMachineWindow::cmdOpen_Click() {
    const auto folder = chooseFolder();
    if (!folder) {
        return;
    }
    try {
        const auto opened = kinds::OpenMachine(*folder);
        kinds::RefuseIfOnlyCheckable(*opened);
        Opened(opened);
    } catch (const machine::MachineError& error) {
        lbStatus->setText(Html(error.what()));
    }
}

void NoMachineWindow::Opened(std::shared_ptr<machine::Machine> opened) {
    machine_ = std::move(opened);
    accept();
}

std::filesystem::path FindMachineTool() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto sibling = self.parent_path() / "velto-machine";
        if (::access(sibling.c_str(), X_OK) == 0) {
            return sibling;
        }
    }
    const QString onPath = QStandardPaths::findExecutable("velto-machine");
    return onPath.isEmpty() ? std::filesystem::path() : std::filesystem::path(onPath.toStdString());
}

}  // namespace vltmain
