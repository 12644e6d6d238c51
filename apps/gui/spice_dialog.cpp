#include "spice_dialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::gui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QComboBox* Combo(const TSpiceCombo& c) {
    auto* box = new QComboBox;
    for (const std::string& item : c.Items)
        box->addItem(Q(item));
    return box;
}

void Show(QComboBox* box, const TSpiceCombo& c) {
    box->setCurrentIndex(c.ItemIndex);
    box->setEnabled(c.Enabled);
}

void Show(QLineEdit* edit, const TSpiceEdit& e) {
    edit->setText(Q(e.Text));
    edit->setEnabled(e.Enabled);
}

} // namespace

SpiceDialog::SpiceDialog(TfmSpice& model, QWidget* parent) : QDialog(parent), m_(model) {
    setWindowTitle(Q(m_.Caption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* sweep = new QGroupBox("AC Sweep");
    auto* sweepForm = new QFormLayout(sweep);
    Start = new QLineEdit, End = new QLineEdit, Points = new QLineEdit;
    StartUnit = Combo(m_.ComboBox1), EndUnit = Combo(m_.ComboBox2);
    auto row = [](QWidget* a, QWidget* b) {
        auto* w = new QWidget;
        auto* h = new QHBoxLayout(w);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(a);
        h->addWidget(b);
        return w;
    };
    sweepForm->addRow(Q(m_.Edit1.Caption), row(Start, StartUnit));
    sweepForm->addRow(Q(m_.Edit2.Caption), row(End, EndUnit));
    sweepForm->addRow(Q(m_.Edit3.Caption), row(Points, new QLabel("per decade")));
    layout->addWidget(sweep);

    auto* output = new QGroupBox("AC Output");
    auto* outputBox = new QVBoxLayout(output);
    Probe = new QCheckBox(Q(m_.CheckBox1.Caption));
    Print = new QCheckBox(Q(m_.CheckBox2.Caption));
    Plot = new QCheckBox(Q(m_.CheckBox3.Caption));
    for (QCheckBox* c : {Probe, Print, Plot})
        outputBox->addWidget(c);
    layout->addWidget(output);

    auto* monte = new QGroupBox("Monte Carlo Analysis");
    auto* monteForm = new QFormLayout(monte);
    MonteCarlo = new QCheckBox(Q(m_.CBox1.Caption));
    Runs = new QLineEdit;
    ResistorTolerance = Combo(m_.ComboBox3), CapacitorTolerance = Combo(m_.ComboBox4);
    monteForm->addRow(MonteCarlo);
    monteForm->addRow(Q(m_.Edit4.Caption), Runs);
    monteForm->addRow(Q(m_.ComboBox3.Caption), ResistorTolerance);
    monteForm->addRow(Q(m_.ComboBox4.Caption), CapacitorTolerance);
    layout->addWidget(monte);

    auto* opamp = new QGroupBox("Op Amp Model");
    auto* opampBox = new QVBoxLayout(opamp);
    Vcvs = new QRadioButton(" VCVS (freq. independent)");
    SinglePole = new QRadioButton(" Single pole roll-off");
    opampBox->addWidget(Vcvs);
    opampBox->addWidget(SinglePole);
    layout->addWidget(opamp);

    auto* dialect = new QFormLayout;
    Dialect = Combo(m_.ComboBox5);
    dialect->addRow(Q(m_.ComboBox5.Caption), Dialect);
    layout->addLayout(dialect);

    auto* buttons = new QDialogButtonBox;
    Ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    Cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(MonteCarlo, &QCheckBox::toggled, this, [this](bool on) {
        m_.CBox1.Checked = on;
        m_.CBox1Click();
        Load();
    });
    connect(Ok, &QPushButton::clicked, this, [this] {
        Store();
        m_.BitBtn1Click();
        if (m_.Visible)
            Load(); // a refused entry: the person corrects it
        else
            accept();
    });
    connect(Cancel, &QPushButton::clicked, this, [this] {
        m_.BitBtn2Click();
        reject();
    });
    Load();
}

void SpiceDialog::Load() {
    Show(Start, m_.Edit1);
    Show(End, m_.Edit2);
    Show(Points, m_.Edit3);
    Show(Runs, m_.Edit4);
    Show(StartUnit, m_.ComboBox1);
    Show(EndUnit, m_.ComboBox2);
    Show(ResistorTolerance, m_.ComboBox3);
    Show(CapacitorTolerance, m_.ComboBox4);
    Show(Dialect, m_.ComboBox5);
    const QSignalBlocker block(MonteCarlo);
    Probe->setChecked(m_.CheckBox1.Checked);
    Print->setChecked(m_.CheckBox2.Checked);
    Plot->setChecked(m_.CheckBox3.Checked);
    MonteCarlo->setChecked(m_.CBox1.Checked);
    Vcvs->setChecked(m_.RadioButton1Checked);
    SinglePole->setChecked(!m_.RadioButton1Checked);
}

void SpiceDialog::Store() {
    m_.Edit1.Text = Start->text().toStdString();
    m_.Edit2.Text = End->text().toStdString();
    m_.Edit3.Text = Points->text().toStdString();
    m_.Edit4.Text = Runs->text().toStdString();
    m_.ComboBox1.ItemIndex = StartUnit->currentIndex();
    m_.ComboBox2.ItemIndex = EndUnit->currentIndex();
    m_.ComboBox3.ItemIndex = ResistorTolerance->currentIndex();
    m_.ComboBox4.ItemIndex = CapacitorTolerance->currentIndex();
    m_.ComboBox5.ItemIndex = Dialect->currentIndex();
    m_.CheckBox1.Checked = Probe->isChecked();
    m_.CheckBox2.Checked = Print->isChecked();
    m_.CheckBox3.Checked = Plot->isChecked();
    m_.CBox1.Checked = MonteCarlo->isChecked();
    m_.RadioButton1Checked = Vcvs->isChecked();
}

} // namespace velmora::gui
