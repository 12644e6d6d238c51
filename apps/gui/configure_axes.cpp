#include "configure_axes.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWidget>

namespace velmora::gui {

std::optional<AxisConfiguration> ConfigureAxesDialog(QWidget* parent, const AxesRequest& request) {
    AxisConfiguration c = request.current;
    const bool withTime = request.withTime;
    QDialog dialog(parent);
    dialog.setWindowTitle("Configure Axes");
    auto spin = [&](long double lo, long double hi, long double value, int decimals) {
        auto* s = new QDoubleSpinBox;
        s->setDecimals(decimals);
        s->setRange(static_cast<double>(lo), static_cast<double>(hi));
        s->setValue(static_cast<double>(value));
        s->setMinimumWidth(120);
        return s;
    };
    auto* layout = new QVBoxLayout(&dialog);
    // Frequency axis.
    auto* freq = new QGroupBox("Frequency axis");
    auto* fl = new QFormLayout(freq);
    auto* fMin = spin(c.FreqSliderMin, c.FreqSliderMax, c.FreqMin, 4);
    auto* fMax = spin(c.FreqSliderMin, c.FreqSliderMax, c.FreqMax, 4);
    auto* fLog = new QRadioButton(" logarithmic");
    auto* fLin = new QRadioButton(" linear");
    (c.FreqLog ? fLog : fLin)->setChecked(true);
    fl->addRow("from", fMin);
    fl->addRow("to", fMax);
    fl->addRow(fLog, fLin);
    // Attenuation axis.
    auto* gain = new QGroupBox("Attenuation axis");
    auto* gl = new QFormLayout(gain);
    auto* gMin = spin(c.GainSliderMin, c.GainSliderMax, c.GainMin, 3);
    auto* gMax = spin(c.GainSliderMin, c.GainSliderMax, c.GainMax, 3);
    auto* gDb = new QRadioButton(" log (dB)");
    auto* gVv = new QRadioButton(" linear (V/V)");
    (c.GainInDb ? gDb : gVv)->setChecked(true);
    gl->addRow("from", gMin);
    gl->addRow("to", gMax);
    gl->addRow(gDb, gVv);
    // Switching the kind shows the range in the other unit.
    QObject::connect(gDb, &QRadioButton::toggled, &dialog, [&request, gMin, gMax](bool dB) {
        const AxisConfiguration& k = dB == request.current.GainInDb ? request.current : request.otherKind;
        for (QDoubleSpinBox* b : {gMin, gMax})
            b->setRange(double(k.GainSliderMin), double(k.GainSliderMax));
        gMin->setValue(double(k.GainMin));
        gMax->setValue(double(k.GainMax));
    });
    // Time axis.
    auto* time = new QGroupBox("Time axis (ms)");
    time->setVisible(withTime);
    auto* tl = new QFormLayout(time);
    auto* tMin = spin(c.TimeSliderMinMs, c.TimeSliderMaxMs, c.TimeMinMs, 4);
    auto* tMax = spin(c.TimeSliderMinMs, c.TimeSliderMaxMs, c.TimeMaxMs, 4);
    tl->addRow("from", tMin);
    tl->addRow("to", tMax);
    auto* grid = new QGroupBox("Grid ");
    auto* grl = new QVBoxLayout(grid);
    auto* gridBox = new QCheckBox(" show grid lines");
    gridBox->setChecked(c.Grid);
    grl->addWidget(gridBox);
    auto* marker = new QGroupBox(QString::fromStdString(request.markerTitle));
    auto* ml = new QVBoxLayout(marker);
    auto* markerBox = new QCheckBox(QString::fromStdString(request.markerLabel));
    markerBox->setChecked(c.Marker3dB);
    ml->addWidget(markerBox);
    for (QWidget* w : {static_cast<QWidget*>(freq), static_cast<QWidget*>(gain), static_cast<QWidget*>(time),
                       static_cast<QWidget*>(grid), static_cast<QWidget*>(marker)})
        if (w != time || withTime) layout->addWidget(w);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Cancel);
    QObject::connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, &dialog,
                     &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    c.FreqMin = fMin->value();
    c.FreqMax = fMax->value();
    c.FreqLog = fLog->isChecked();
    c.GainMin = gMin->value();
    c.GainMax = gMax->value();
    c.GainInDb = gDb->isChecked();
    if (withTime) {
        c.TimeMinMs = tMin->value();
        c.TimeMaxMs = tMax->value();
    }
    c.Grid = gridBox->isChecked();
    c.Marker3dB = markerBox->isChecked();
    return c;
}

} // namespace velmora::gui
