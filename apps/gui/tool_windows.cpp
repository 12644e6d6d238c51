#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "windows.h"

namespace velmora::gui {

DbConvertWindow::DbConvertWindow(TfmDbConvert& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("DbConvertWindow");
    setWindowTitle("dB <--> V/V");
    Db = new QLineEdit;
    Vv = new QLineEdit;
    ToVv = new QPushButton("dB  -->  V/V");
    ToDb = new QPushButton("V/V  -->  dB");
    connect(Db, &QLineEdit::textEdited, this, [this](const QString& t) { m_.DbText = t.toStdString(); });
    connect(Vv, &QLineEdit::textEdited, this, [this](const QString& t) { m_.VvText = t.toStdString(); });
    connect(ToVv, &QPushButton::clicked, this, [this, changed] {
        m_.DbToVvClick();
        changed();
    });
    connect(ToDb, &QPushButton::clicked, this, [this, changed] {
        m_.VvToDbClick();
        changed();
    });
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("dB"), 0, 0);
    grid->addWidget(Db, 0, 1);
    grid->addWidget(ToVv, 0, 2);
    grid->addWidget(new QLabel("V/V"), 1, 0);
    grid->addWidget(Vv, 1, 1);
    grid->addWidget(ToDb, 1, 2);
}

void DbConvertWindow::Sync() {
    Db->setText(QString::fromStdString(m_.DbText));
    Vv->setText(QString::fromStdString(m_.VvText));
}

ResValuesWindow::ResValuesWindow(TfmResValues& model, QWidget* parent) : StepWindow(parent), m_(model) {
    setObjectName("ResValuesWindow");
    setWindowTitle(QString::fromStdString(m_.Caption));
    Series = new QComboBox;
    for (const std::string& s : m_.SeriesItems)
        Series->addItem(QString::fromStdString(s));
    Title = new QLabel;
    Values = new QTableWidget;
    Values->horizontalHeader()->hide();
    Values->verticalHeader()->hide();
    Values->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(Series, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        m_.SeriesChange(i);
        Sync();
    });
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Series:"));
    top->addWidget(Series);
    top->addWidget(Title, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Values, 1);
    resize(520, 330);
}

void ResValuesWindow::Sync() {
    Series->setCurrentIndex(m_.SeriesIndex);
    Title->setText(QString::fromStdString(m_.SeriesTitle));
    // The model's lines hold twelve values each, separated by blanks.
    Values->clear();
    Values->setRowCount(static_cast<int>(m_.Lines.size()));
    Values->setColumnCount(12);
    for (int r = 0; r < static_cast<int>(m_.Lines.size()); ++r) {
        const QStringList cells = QString::fromStdString(m_.Lines[r]).split(' ', Qt::SkipEmptyParts);
        for (int c = 0; c < cells.size() && c < 12; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignCenter);
            Values->setItem(r, c, item);
        }
    }
    Values->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Values->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

TransferWindow::TransferWindow(TfmTransfer& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model) {
    setObjectName("TransferWindow");
    closed = [this, changed] {
        m_.Visible = false;
        changed();
    };
    Hz = new QRadioButton("Hz");
    Rad = new QRadioButton("rad/s");
    connect(Hz, &QRadioButton::clicked, this, [this, changed] {
        m_.UnitClick(true);
        changed();
    });
    connect(Rad, &QRadioButton::clicked, this, [this, changed] {
        m_.UnitClick(false);
        changed();
    });
    Table = new QTableWidget;
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Notes = new QLabel;
    FinalResponses = new QPushButton("Final Responses");
    FinalResponses->setToolTip(
        "Choose each stage's recommended circuit, calculate it and show the final responses");
    FinalResponses->hide();
    connect(FinalResponses, &QPushButton::clicked, this, [this, changed] {
        if (finalResponses) finalResponses();
        changed();
    });
    auto* top = new QHBoxLayout;
    top->addWidget(
        new QLabel(QString::fromStdString(m_.Form + "(" + m_.Numerator + ") / (" + m_.Denominator + ")")), 1);
    top->addWidget(Hz);
    top->addWidget(Rad);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Table, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Notes, 1);
    bottom->addWidget(FinalResponses);
    layout->addLayout(bottom);
    resize(1180, 300);
}

void TransferWindow::Sync() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    (m_.Hz ? Hz : Rad)->setChecked(true);
    Table->clear();
    Table->setColumnCount(static_cast<int>(m_.Headers.size()));
    QStringList headers;
    for (const std::string& h : m_.Headers)
        headers << QString::fromStdString(h);
    Table->setHorizontalHeaderLabels(headers);
    Table->setRowCount(static_cast<int>(m_.Rows.size()));
    for (int r = 0; r < static_cast<int>(m_.Rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(m_.Rows[r].size()); ++c)
            Table->setItem(r, c, new QTableWidgetItem(QString::fromStdString(m_.Rows[r][c])));
    // Every number whole; the spare width goes to the last column.
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->horizontalHeader()->setStretchLastSection(true);
    QString notes;
    for (size_t i = 0; i + 1 < m_.Notes.size() && i < 4; i += 2)
        notes += QString::fromStdString(m_.Notes[i] + "  " + m_.Notes[i + 1]) + "      ";
    Notes->setText(notes);
    FinalResponses->setVisible(static_cast<bool>(finalResponses));
}

} // namespace velmora::gui
