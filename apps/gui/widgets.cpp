#include "widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "model/number_text.h"
#include "qt_surface.h"

namespace velmora::gui {

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage PictureWidget::Render(int width, int height) const {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    QtSurface s(p, width, height);
    if (paint) paint(s);
    return image;
}

void PictureWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QtSurface s(p, width(), height());
    if (paint) paint(s);
    if (overlay) overlay(s);
}

void PictureWidget::mousePressEvent(QMouseEvent* e) {
    if (pressed) pressed(e->button(), e->position().x(), e->position().y());
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (released) released(e->button(), e->position().x(), e->position().y());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* e) {
    if (moved) moved(e->position().x(), e->position().y());
}

void PictureWidget::resizeEvent(QResizeEvent*) {
    if (resized) resized(width(), height());
}

EntryEdit::EntryEdit(QWidget* parent) : QLineEdit(parent) {
    // Pasting would bypass the keyboard rule.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void EntryEdit::Show(const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (this->text() != t) setText(t);
    ShowParameter();
}

ParameterValidator::ParameterValidator(std::function<const app::Parameter*()> parameter, QObject* parent)
    : QValidator(parent), parameter_(std::move(parameter)) {}

QValidator::State ParameterValidator::validate(QString& input, int&) const {
    const app::Parameter* p = parameter_ ? parameter_() : nullptr;
    if (!p) return Acceptable;
    long double v = 0;
    if (!ParseDecimal(input.toStdString(), v)) return Intermediate;
    if (p->kind == app::ParameterKind::Frequency) return v > 0 ? Acceptable : Intermediate;
    return app::WithinRange(*p, v) ? Acceptable : Intermediate;
}

void EntryEdit::BindParameter(std::function<const app::Parameter*()> parameter) {
    parameter_ = std::move(parameter);
    setValidator(new ParameterValidator(parameter_, this));
    connect(this, &QLineEdit::textChanged, this, [this] { ShowParameter(); });
    ShowParameter();
}

void EntryEdit::ShowParameter() {
    const app::Parameter* p = parameter_ ? parameter_() : nullptr;
    if (!p) return;
    const QString tip = QString::fromStdString(app::HelpText(*p));
    if (toolTip() != tip) setToolTip(tip);
    // An empty field is not marked: it is being typed into, or the step fills it in.
    const bool outside = !text().isEmpty() && !hasAcceptableInput();
    if (property("outOfRange").toBool() != outside) {
        setProperty("outOfRange", outside);
        setStyleSheet(outside ? "QLineEdit { color: red; }" : QString());
    }
}

void EntryEdit::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste)) return;
    char key = 0;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        key = kKeyEnter;
    else if (e->key() == Qt::Key_Backspace)
        key = kKeyBackspace;
    else if (!e->text().isEmpty() && e->text().at(0).isPrint() && !(e->modifiers() & Qt::ControlModifier))
        key = e->text().at(0).unicode() < 128 ? static_cast<char>(e->text().at(0).unicode()) : '\x7f';
    if (!key || !judge) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    switch (judge(key, static_cast<int>(selectedText().size()))) {
    case EntryKey::Taken:
        QLineEdit::keyPressEvent(e);
        break;
    case EntryKey::MoveOn:
        if (movedOn) movedOn();
        break;
    case EntryKey::Refused:
        break;
    }
}

Qt::CursorShape CursorShapeOf(GraphCursor c) {
    switch (c) {
    case GraphCursor::Zoom:
        return Qt::SizeFDiagCursor;
    case GraphCursor::CrossHair:
        return Qt::CrossCursor;
    case GraphCursor::PoleZero:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace velmora::gui
