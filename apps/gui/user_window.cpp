#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "windows.h"

namespace velmora::gui {

UserWindow::UserWindow(TfmUser& model, Changed changed, QWidget* parent)
    : StepWindow(parent), m_(model), changed_(std::move(changed)) {
    setObjectName("UserWindow");
    closed = [this] {
        m_.Visible = false;
        changed_();
    };
    auto radios = [this](const QString& title, auto& buttons, const QStringList& captions,
                         std::function<void(int)> click) {
        auto* box = new QGroupBox(title);
        auto* l = new QVBoxLayout(box);
        auto* group = new QButtonGroup(box);
        for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
            buttons[i] = new QRadioButton(captions[i]);
            group->addButton(buttons[i], i);
            l->addWidget(buttons[i]);
            connect(buttons[i], &QRadioButton::clicked, this, [this, click, i] {
                click(i);
                changed_();
            });
        }
        return box;
    };
    auto* order =
        radios("Section order", Order, {"First", "Second"}, [this](int i) { m_.RadioGroup1Click(i); });
    QStringList types;
    for (const std::string& t : m_.TypeCaptions)
        types << QString::fromStdString(t);
    auto* type = radios("Section type", Type, types, [this](int i) { m_.RadioGroup2Click(i); });
    auto* mode = radios("Entry mode", Mode,
                        {QString::fromStdString(m_.QModeCaption), QString::fromStdString(m_.PoleModeCaption)},
                        [this](int i) { m_.RadioGroup3Click(i); });

    auto* fields = new QGridLayout;
    int row = 0;
    for (TEditControl* c : {&m_.Edit1, &m_.Edit2, &m_.Edit3, &m_.Edit4, &m_.EditTo}) {
        auto* label = new QLabel;
        auto* edit = new EntryEdit;
        edit->setObjectName(QString::fromStdString(c->Name));
        edit->setFixedWidth(90);
        label->setBuddy(edit);
        Fields[c->Name] = edit;
        Labels[c->Name] = label;
        edit->judge = [this, c](char key, int selected) { return m_.KeyPress(*c, key, selected); };
        edit->movedOn = [this] { changed_(); };
        // Tool tip, range and the red mark of a value out of range from the parameter
        // table, following the layout (Edit1 holds Q or a pole).
        edit->BindParameter([this, c] { return m_.ParameterOf(*c); });
        connect(edit, &QLineEdit::textEdited, this, [c](const QString& t) { c->Text = t.toStdString(); });
        fields->addWidget(label, row, 0, Qt::AlignRight);
        fields->addWidget(edit, row, 1);
        ++row;
    }
    Unit = new QLabel;
    fields->addWidget(Unit, 0, 2);
    auto* entry = new QGroupBox("Section");
    entry->setLayout(fields);

    Template = new PictureWidget;
    Template->setMinimumSize(300, 70);
    Template->setMaximumHeight(90);
    Template->paint = [this](DrawingSurface& s) { PaintUserTemplate(s, m_.Template); };

    Add = new QPushButton("Add");
    Delete = new QPushButton("Delete");
    Up = new QPushButton("Move up");
    Down = new QPushButton("Move down");
    Next = new QPushButton("Next");
    Next->setObjectName("BitBtn1");
    const std::pair<QPushButton*, std::function<void()>> actions[] = {
        {Add, [this] { m_.AddBtnClick(); }},   {Delete, [this] { m_.DeleteBtnClick(); }},
        {Up, [this] { m_.UpBtnClick(); }},     {Down, [this] { m_.DownBtnClick(); }},
        {Next, [this] { m_.BitBtn1Click(); }},
    };
    for (const auto& [button, handler] : actions)
        connect(button, &QPushButton::clicked, this, [this, h = handler] {
            h();
            changed_();
        });
    List = new QListWidget;
    List->setDragDropMode(QAbstractItemView::NoDragDrop);
    List->setMinimumWidth(220);
    connect(List, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        m_.ListBox1Click(List->row(item));
        changed_();
    });
    OrderCaption = new QLabel;

    Graph = new PictureWidget;
    Graph->setMinimumSize(420, 300);
    Graph->paint = [this](DrawingSurface& s) { m_.Paint(s); };

    auto* choices = new QHBoxLayout;
    choices->addWidget(order);
    choices->addWidget(type);
    choices->addWidget(mode);
    auto* left = new QVBoxLayout;
    left->addLayout(choices);
    left->addWidget(entry);
    left->addWidget(Template);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Add, Delete, Up, Down})
        buttons->addWidget(b);
    left->addLayout(buttons);
    left->addWidget(List, 1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(OrderCaption, 1);
    foot->addWidget(Next);
    left->addLayout(foot);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(Graph, 1);
    resize(1000, 560);
}

void UserWindow::Sync() {
    setWindowTitle(QString::fromStdString(m_.Caption));
    Order[m_.UserSectionOrder]->setChecked(true);
    Order[0]->setEnabled(m_.FirstEnabled);
    for (int i = 0; i < 4; ++i)
        Type[i]->setEnabled(m_.TypeEnabled[i]);
    Type[m_.SectionType]->setChecked(true);
    Mode[0]->setText(QString::fromStdString(m_.QModeCaption));
    Mode[1]->setText(QString::fromStdString(m_.PoleModeCaption));
    Mode[0]->setEnabled(m_.QModeEnabled);
    Mode[m_.UserEntryMode]->setChecked(true);
    for (TEditControl* c : {&m_.Edit1, &m_.Edit2, &m_.Edit3, &m_.Edit4, &m_.EditTo}) {
        EntryEdit* e = Fields[c->Name];
        e->Show(c->Text);
        e->setMaxLength(c->MaxLength > 0 ? c->MaxLength : 32767);
        e->setVisible(c->Visible);
        e->setEnabled(c->Enabled);
        Labels[c->Name]->setText(QString::fromStdString(c->Label));
        Labels[c->Name]->setVisible(c->Visible);
    }
    Unit->setText(QString::fromStdString(m_.UnitCaption));
    List->clear();
    for (const std::string& line : m_.ListLines)
        List->addItem(QString::fromStdString(line).replace('\t', "    "));
    if (m_.ItemIndex >= 0) List->setCurrentRow(m_.ItemIndex);
    OrderCaption->setText(QString::fromStdString(m_.OrderCaption));
    Delete->setEnabled(m_.DeleteEnabled);
    Up->setEnabled(m_.UpEnabled);
    Down->setEnabled(m_.DownEnabled);
    Next->setEnabled(m_.BitBtn1Enabled);
    Template->update();
    Graph->update();
    std::map<std::string, QWidget*> focusable(Fields.begin(), Fields.end());
    ApplyFocus(m_.Focus, focusable);
}

} // namespace velmora::gui
