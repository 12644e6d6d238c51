#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/filter_template.h"
#include "windows.h"

namespace velmora::gui {

StepWindow::StepWindow(QWidget* parent) : QWidget(parent, Qt::Window) {}

void StepWindow::closeEvent(QCloseEvent* e) {
    if (mayClose && !mayClose()) {
        e->ignore();
        return;
    }
    if (closed) closed();
    e->accept();
}

void ApplyFocus(std::string& focus, const std::map<std::string, QWidget*>& widgets) {
    if (focus.empty()) return;
    const auto it = widgets.find(focus);
    if (it != widgets.end() && it->second->isVisible() && it->second->isEnabled()) {
        it->second->setFocus(Qt::OtherFocusReason);
        if (auto* edit = dynamic_cast<QLineEdit*>(it->second)) edit->selectAll();
    }
    focus.clear();
}

namespace {

void ShowEdit(const TEditControl& c, EntryEdit* edit, QLabel* label) {
    edit->Show(c.Text);
    edit->setMaxLength(c.MaxLength > 0 ? c.MaxLength : 32767);
    edit->setEnabled(c.Enabled);
    edit->setVisible(c.Visible);
    if (label) {
        label->setText(QString::fromStdString(c.Label));
        label->setVisible(c.Visible);
        label->setEnabled(!c.LabelGreyed);
    }
}

void ShowCombo(const TComboControl& c, QComboBox* box) {
    QStringList items;
    for (const std::string& s : c.Items)
        items << QString::fromStdString(s);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(c.ItemIndex);
    box->setEnabled(c.Enabled);
    box->setVisible(c.Visible);
}

} // namespace

SpecWindow::SpecWindow(TfmParEnt& model, const TDesign& design, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model), d_(design), changed_(std::move(changed)) {
    setObjectName("SpecWindow");
    closed = [this] {
        m_.Visible = false;
        changed_();
    };
    auto* grid = new QGridLayout;
    TEditControl* controls[] = {&m_.NumEdit1, &m_.NumEdit2, &m_.NumEdit3, &m_.NumEdit4,
                                &m_.NumEdit5, &m_.IntEdit1, &m_.NumEdit6};
    TComboControl* combos[] = {&m_.CB1, &m_.CB2, &m_.CB3, &m_.CB4};
    for (int i = 0; i < 4; ++i) {
        Units[i] = new QComboBox;
        Units[i]->setObjectName(QString::fromStdString(combos[i]->Name));
        TComboControl* box = combos[i];
        connect(Units[i], QOverload<int>::of(&QComboBox::activated), this, [this, box, i](int index) {
            box->ItemIndex = index;
            if (i == 3)
                m_.CB4Change();
            else
                m_.UnitChange(*box);
            changed_();
        });
    }
    ForceOrder = new QCheckBox(QString::fromStdString(m_.CheckBox1Caption));
    connect(ForceOrder, &QCheckBox::clicked, this, [this] {
        m_.CheckBox1Click();
        changed_();
    });
    int row = 0;
    for (TEditControl* c : controls) {
        auto* edit = new EntryEdit;
        edit->setObjectName(QString::fromStdString(c->Name));
        edit->setFixedWidth(90);
        Fields[c->Name] = edit;
        edit->judge = [this, c](char key, int selected) { return m_.KeyPress(*c, key, selected); };
        edit->BindParameter([this, c] { return m_.ParameterOf(*c); });
        edit->movedOn = [this] { changed_(); };
        connect(edit, &QLineEdit::textEdited, this, [this, c](const QString& text) {
            c->Text = text.toStdString();
            m_.EntryChange(*c);
            changed_();
        });
        QWidget* label = nullptr;
        if (c == &m_.IntEdit1) {
            label = ForceOrder;
        } else {
            auto* l = new QLabel;
            Labels[c->Name] = l;
            l->setBuddy(edit);
            label = l;
        }
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        QWidget* unit = nullptr;
        if (c == &m_.NumEdit1 || c == &m_.NumEdit2) unit = new QLabel("dB");
        if (c == &m_.NumEdit3) unit = Units[0];
        if (c == &m_.NumEdit4) unit = Units[1];
        if (c == &m_.NumEdit5) unit = Units[2];
        if (c == &m_.NumEdit6) unit = Units[3];
        if (unit) grid->addWidget(unit, row, 2);
        ++row;
    }
    Calculate = new QPushButton("Calculate");
    Next = new QPushButton("Next");
    Calculate->setObjectName("CalcBtn");
    Next->setObjectName("BitBtn1");
    connect(Calculate, &QPushButton::clicked, this, [this] {
        m_.CalcBtnClick();
        changed_();
    });
    connect(Next, &QPushButton::clicked, this, [this] {
        m_.BitBtn1Click();
        changed_();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Calculate);
    buttons->addWidget(Next);
    grid->addLayout(buttons, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);

    Tabs = new QTabWidget;
    Template = new PictureWidget;
    Template->paint = [this](DrawingSurface& s) {
        PaintSpecTemplate(s, SpecTemplateOf(m_, d_.Spec.FilterType, d_.Opt.FreqUnitsHz != 0));
    };
    Results = new QTableWidget;
    Results->horizontalHeader()->hide();
    Results->verticalHeader()->hide();
    Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Results->setSelectionMode(QAbstractItemView::NoSelection);
    Results->setFocusPolicy(Qt::NoFocus);
    connect(Tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0) m_.TabIndex = index;
    });

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Tabs, 1);
    resize(900, 430);
}

void SpecWindow::SyncTable() {
    const ComparisonTable& t = m_.Table;
    const int rows = static_cast<int>(t.rowTitles.size()) + 1,
              cols = static_cast<int>(t.colHeaders.size()) + 1;
    Results->clear();
    Results->setRowCount(t.empty() ? 0 : rows);
    Results->setColumnCount(t.empty() ? 0 : cols);
    if (t.empty()) return;
    auto item = [](const std::string& text) {
        auto* i = new QTableWidgetItem(QString::fromStdString(text));
        i->setTextAlignment(Qt::AlignCenter);
        return i;
    };
    Results->setItem(0, 0, item(t.cornerTitle));
    for (int c = 1; c < cols; ++c)
        Results->setItem(0, c, item(t.colHeaders[c - 1][0] + "\n" + t.colHeaders[c - 1][1]));
    for (int r = 1; r < rows; ++r) {
        auto* title = item(t.rowTitles[r - 1]);
        title->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        Results->setItem(r, 0, title);
        for (int c = 1; c < cols; ++c) {
            const ComparisonCell& cell = t.cells[r - 1][c - 1];
            auto* i = item(cell.text);
            if (cell.red) i->setForeground(Qt::red);
            Results->setItem(r, c, i);
        }
    }
    QFont bold = Results->font();
    bold.setBold(true);
    for (int c = 0; c < cols; ++c)
        Results->item(0, c)->setFont(bold);
    Results->resizeColumnsToContents();
    Results->resizeRowsToContents();
    // The grid fills its tab.
    Results->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Results->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    Results->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

void SpecWindow::Sync() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    for (auto& [name, edit] : Fields) {
        for (TEditControl* c : {&m_.NumEdit1, &m_.NumEdit2, &m_.NumEdit3, &m_.NumEdit4, &m_.NumEdit5,
                                &m_.NumEdit6, &m_.IntEdit1})
            if (c->Name == name) ShowEdit(*c, edit, Labels.count(name) ? Labels[name] : nullptr);
    }
    ShowCombo(m_.CB1, Units[0]);
    ShowCombo(m_.CB2, Units[1]);
    ShowCombo(m_.CB3, Units[2]);
    ShowCombo(m_.CB4, Units[3]);
    ForceOrder->setChecked(m_.CheckBox1Checked);
    Next->setEnabled(m_.BitBtn1Enabled);

    // Tabs: the template, and the results once there are some.
    QSignalBlocker block(Tabs);
    while (Tabs->count() > static_cast<int>(m_.Tabs.size()))
        Tabs->removeTab(Tabs->count() - 1);
    if (Tabs->count() == 0 && !m_.Tabs.empty()) Tabs->addTab(Template, QString::fromStdString(m_.Tabs[0]));
    if (Tabs->count() == 1 && m_.Tabs.size() > 1) Tabs->addTab(Results, QString::fromStdString(m_.Tabs[1]));
    if (m_.TabIndex < Tabs->count()) Tabs->setCurrentIndex(m_.TabIndex);
    SyncTable();
    Template->update();

    std::map<std::string, QWidget*> focusable(Fields.begin(), Fields.end());
    ApplyFocus(m_.Focus, focusable);
}

} // namespace velmora::gui
