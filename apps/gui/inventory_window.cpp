#include "inventory_window.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velmora::gui {

InventoryWindow::InventoryWindow(TfmInvent& model, QWidget* parent) : QDialog(parent), m_(model) {
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* range = new QGridLayout;
    MinLabel = new QLabel, MaxLabel = new QLabel;
    Min = new QComboBox, Max = new QComboBox, QuickSelect = new QComboBox;
    range->addWidget(MinLabel, 0, 0);
    range->addWidget(Min, 0, 1);
    range->addWidget(MaxLabel, 0, 2);
    range->addWidget(Max, 0, 3);
    range->addWidget(new QLabel("Quick select:"), 0, 4);
    range->addWidget(QuickSelect, 0, 5);
    layout->addLayout(range);
    Grid = new QTableWidget;
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionMode(QAbstractItemView::NoSelection);
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->hide();
    layout->addWidget(Grid, 1);
    CountLine = new QLabel;
    layout->addWidget(CountLine);
    auto* buttons = new QDialogButtonBox;
    Ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    Cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    for (const std::string& item : m_.QuickSelectItems)
        QuickSelect->addItem(QString::fromStdString(item));

    connect(Min, &QComboBox::activated, this, [this](int i) {
        m_.MinChange(i);
        Load();
    });
    connect(Max, &QComboBox::activated, this, [this](int i) {
        m_.MaxChange(i);
        Load();
    });
    connect(QuickSelect, &QComboBox::activated, this, [this](int i) {
        m_.QuickSelect(i);
        Load();
    });
    connect(Grid, &QTableWidget::cellClicked, this, [this](int row, int column) {
        m_.CellClick(column, row);
        Load();
    });
    connect(Ok, &QPushButton::clicked, this, [this] {
        if (m_.BitBtn1Click())
            accept();
        else
            Load();
    });
    connect(Cancel, &QPushButton::clicked, this, [this] {
        m_.BitBtn2Click();
        reject();
    });
    resize(640, 480);
}

void InventoryWindow::Load() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    MinLabel->setText(QString::fromStdString(m_.MinLabel));
    MaxLabel->setText(QString::fromStdString(m_.MaxLabel));
    for (QComboBox* box : {Min, Max}) {
        const QSignalBlocker block(box);
        box->clear();
        for (const std::string& item : m_.RangeItems)
            box->addItem(QString::fromStdString(item));
    }
    Min->setCurrentIndex(m_.MinIndex);
    Max->setCurrentIndex(m_.MaxIndex);
    {
        const QSignalBlocker block(QuickSelect);
        QuickSelect->setCurrentIndex(-1);
    }
    size_t rows = 0;
    for (const auto& column : m_.Columns)
        rows = std::max(rows, column.size());
    Grid->clear();
    Grid->setColumnCount(int(m_.Columns.size()));
    Grid->setRowCount(int(rows));
    for (size_t c = 0; c < m_.Columns.size(); ++c)
        for (size_t r = 0; r < m_.Columns[c].size(); ++r) {
            auto* item = new QTableWidgetItem(QString::fromStdString(m_.Columns[c][r].Text));
            QFont f = item->font();
            f.setBold(m_.Columns[c][r].Marked);
            item->setFont(f);
            Grid->setItem(int(r), int(c), item);
        }
    CountLine->setText(QString::fromStdString(m_.CountLine));
}

} // namespace velmora::gui
