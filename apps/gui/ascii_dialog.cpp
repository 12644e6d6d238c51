#include "ascii_dialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QVBoxLayout>

namespace velmora::gui {

AsciiDialog::AsciiDialog(TfmAscii& model, QWidget* parent) : QDialog(parent), m_(model) {
    setWindowTitle(QString::fromStdString(m_.Caption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox("Include");
    auto* boxLayout = new QVBoxLayout(box);
    TCheckBox* checks[] = {&m_.CheckBox1, &m_.CheckBox2, &m_.CheckBox3, &m_.CheckBox4};
    for (size_t i = 0; i < Parts.size(); ++i) {
        Parts[i] = new QCheckBox(QString::fromStdString(checks[i]->Caption));
        Parts[i]->setChecked(checks[i]->Checked);
        Parts[i]->setEnabled(checks[i]->Enabled);
        boxLayout->addWidget(Parts[i]);
    }
    layout->addWidget(box);
    auto* buttons = new QDialogButtonBox;
    Ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    Cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(Ok, &QPushButton::clicked, this, [this, checks] {
        for (size_t i = 0; i < Parts.size(); ++i)
            checks[i]->Checked = Parts[i]->isChecked();
        accept();
    });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool EditAsciiOptionsModal(TfmAscii& model, QWidget* parent) {
    AsciiDialog dialog(model, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace velmora::gui
