#include "qt_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "ascii_dialog.h"
#include "configure_axes.h"
#include "model/inventory_file.h"
#include "ui/tfm_main.h"

namespace velmora::gui {

namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}

int Run(QWidget* parent, MessageKind kind, const std::string& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(IconOf(kind), kProgramTitle, QString::fromStdString(text), buttons, parent);
    QApplication::setOverrideCursor(Qt::ArrowCursor); // a question is never answered under an hourglass
    const int r = box.exec();
    QApplication::restoreOverrideCursor();
    return r;
}

} // namespace

void QtDialogs::Beep() {
    QApplication::beep();
}

void QtDialogs::Message(MessageKind kind, const std::string& text) {
    Run(parent_, kind, text, QMessageBox::Ok);
}

Answer QtDialogs::AskOkCancel(MessageKind kind, const std::string& text) {
    return Run(parent_, kind, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok
               ? Answer::Ok
               : Answer::Cancel;
}

Answer QtDialogs::AskYesNoCancel(const std::string& text) {
    switch (Run(parent_, MessageKind::Information, text,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString QtFilter(const std::string& filter) {
    const auto bar = filter.find('|');
    if (bar == std::string::npos) return QString::fromStdString(filter);
    QString name = QString::fromStdString(filter.substr(0, bar)).trimmed();
    return name + " (" + QString::fromStdString(filter.substr(bar + 1)) + ")";
}

QString InitialFolder(const std::string& folder) {
    if (QDir::isAbsolutePath(QString::fromStdString(folder))) return QString::fromStdString(folder);
    const std::optional<std::string> data = UserDataFolder();
    if (!data) return QDir::homePath();
    const QString path = QString::fromStdString(*data) + "/" + QString::fromStdString(folder);
    QDir().mkpath(path);
    return path;
}

std::optional<std::string> QtDialogs::ChooseFile(const FileChoice& request) {
    QString start = InitialFolder(request.initialFolder);
    // A proposed name with a folder starts there; a bare pattern ("*.fl3") only names the type.
    const QString proposed = QString::fromStdString(request.fileName);
    if (!proposed.isEmpty() && !proposed.contains('*'))
        start = QDir::isAbsolutePath(proposed) ? proposed : start + "/" + proposed;
    QFileDialog dialog(parent_, request.save ? "Save As" : "Open", start, QtFilter(request.filter));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    // The model asks its own overwrite question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    QApplication::restoreOverrideCursor();
    if (!chosen) return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

void QtDialogs::BusyCursor(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool QtDialogs::EditAsciiOptions(TfmAscii& window) {
    return EditAsciiOptionsModal(window, parent_);
}

std::optional<AxisConfiguration> QtDialogs::ConfigureAxes(const AxesRequest& request) {
    return ConfigureAxesDialog(parent_, request);
}

} // namespace velmora::gui
