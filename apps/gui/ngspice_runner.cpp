#include "ngspice_runner.h"

#include <QFile>

#include "app/messages.h"
#include "ui/ngspice_overlay.h"

namespace velmora::gui {

NgspiceRunner::NgspiceRunner(TDesign& design, TfmView& view, Dialogs& dialogs, QWidget* parent)
    : QObject(parent), d_(design), view_(view), dlg_(dialogs), parent_(parent) {}

NgspiceRunner::~NgspiceRunner() {
    if (process_) {
        process_->disconnect();
        process_->kill();
        process_->waitForFinished(3000);
    }
}

bool NgspiceRunner::Running() const {
    return process_ != nullptr;
}

void NgspiceRunner::Start() {
    if (process_) return;
    const SpiceNetlist net = OverlayNetlist(d_, view_.Axes.Freq, view_.VariantChecked[OpAmpGbw]);
    if (net.status != SpiceStatus::Ok) {
        dlg_.Message(MessageKind::Error, app::SpiceStatusMessage(net.status, net.stage));
        return;
    }
    dir_ = std::make_unique<QTemporaryDir>();
    QFile file(dir_->filePath(kOverlayNetlist));
    if (!dir_->isValid() || !file.open(QIODevice::WriteOnly)) {
        dlg_.Message(MessageKind::Error, "The netlist for ngspice could not be written.");
        return;
    }
    file.write(QByteArray::fromStdString(SpiceText(net.lines)));
    file.close();

    LastOutput.clear();
    process_ = new QProcess(this);
    process_->setWorkingDirectory(dir_->path());
    process_->setProcessChannelMode(QProcess::MergedChannels);
    connect(process_, &QProcess::readyRead, this,
            [this] { LastOutput += QString::fromLocal8Bit(process_->readAll()); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            Done(false, "ngspice could not be started: it is not installed, or not on the search path. "
                        "Install ngspice to simulate the filter.");
    });
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) {
            Done(false, "ngspice failed (exit status " + std::to_string(code) + "). Its output ends:\n" +
                            OutputTail(LastOutput.toStdString()));
            return;
        }
        QFile data(dir_->filePath(kOverlayData));
        std::optional<std::vector<FinalFrequencySample>> samples;
        if (data.open(QIODevice::ReadOnly)) samples = ReadNgspiceAc(data.readAll().toStdString());
        if (!samples) {
            Done(false, "ngspice wrote no response to read. Its output ends:\n" +
                            OutputTail(LastOutput.toStdString()));
            return;
        }
        view_.Simulated = std::move(*samples);
        Done(true, {});
    });
    progress_ = new QProgressDialog("Simulating the filter in ngspice...", "Cancel", 0, 0, parent_);
    progress_->setWindowTitle("ngspice");
    progress_->setMinimumDuration(300);
    connect(progress_, &QProgressDialog::canceled, this, [this] { Cancel(); });
    process_->start(Program, {"-b", kOverlayNetlist});
}

void NgspiceRunner::Cancel() {
    if (!process_) return;
    process_->disconnect();
    process_->kill();
    process_->waitForFinished(3000);
    Done(true, {}); // cancelled: no message, the curves stay as they were
}

void NgspiceRunner::Done(bool ok, const std::string& failure) {
    if (process_) {
        process_->disconnect();
        process_->deleteLater();
        process_ = nullptr;
    }
    if (progress_) {
        progress_->disconnect();
        progress_->close();
        progress_->deleteLater();
        progress_ = nullptr;
    }
    if (!ok) dlg_.Message(MessageKind::Error, failure);
    if (Finished) Finished();
}

} // namespace velmora::gui
