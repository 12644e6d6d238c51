// Small widgets shared by the windows: a picture drawn by a core painter, and an entry
// field whose keys the step model judges.
#pragma once

#include <QImage>
#include <QLineEdit>
#include <QValidator>
#include <QWidget>
#include <functional>

#include "app/parameters.h"

#include "ui/drawing_surface.h"
#include "ui/entry_keys.h"
#include "ui/tfm_graph.h"

namespace velmora::gui {

// A picture: `paint` draws it through a DrawingSurface of the widget's size; mouse
// events go to the callbacks in picture pixels.
class PictureWidget : public QWidget {
  public:
    explicit PictureWidget(QWidget* parent = nullptr);
    std::function<void(DrawingSurface&)> paint;
    // Drawn over the picture on the screen only (the zoom rectangle).
    std::function<void(DrawingSurface&)> overlay;
    std::function<void(Qt::MouseButton, double, double)> pressed, released;
    std::function<void(double, double)> moved;
    std::function<void(int, int)> resized;

    // The picture alone at the given size (for the clipboard and the screenshots).
    QImage Render(int width, int height) const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;
};

// The cursor shape of a graph model's cursor.
Qt::CursorShape CursorShapeOf(GraphCursor c);

// Wires a picture to a zoomable graph model (the ideal and the final response): the
// model paints it, the rubber band of a zoom drag is drawn over it, its size and the
// mouse go to the model's handlers, and `changed` refreshes the window after a click.
template <typename Model>
void BindZoomablePicture(PictureWidget* picture, Model& m, std::function<void()> changed) {
    const auto button = [](Qt::MouseButton b) {
        return b == Qt::RightButton ? MouseButton::Right : MouseButton::Left;
    };
    picture->paint = [&m](DrawingSurface& s) { m.Paint(s); };
    picture->overlay = [&m](DrawingSurface& s) {
        const auto& b = m.RubberBand;
        if (!b.Visible) return;
        s.SetPen(colors::Black, 1, PenStyle::Dash);
        s.Rectangle(b.X1, b.Y1, b.X2, b.Y2);
    };
    picture->resized = [&m](int w, int h) {
        m.PictureWidth = w;
        m.PictureHeight = h;
    };
    picture->pressed = [&m, changed, button](Qt::MouseButton b, double x, double y) {
        m.ImageMouseDown(button(b), x, y);
        changed();
    };
    picture->released = [&m, changed, button](Qt::MouseButton b, double x, double y) {
        m.ImageMouseUp(button(b), x, y);
        changed();
    };
    picture->moved = [&m, picture](double x, double y) {
        picture->setCursor(CursorShapeOf(m.CursorAt(x, y)));
        if (!m.RubberBand.Visible) return;
        m.ImageMouseMove(x, y);
        picture->update();
    };
}

// The range of a user parameter as a validator: a number within the parameter's range
// is acceptable, anything else is intermediate, never invalid, so that typing is left
// to the step model's key rule and a value out of range still reaches the step's own
// message. A frequency is judged only for being above zero: its unit box scales it.
class ParameterValidator : public QValidator {
  public:
    ParameterValidator(std::function<const app::Parameter*()> parameter, QObject* parent);
    State validate(QString& input, int& pos) const override;

  private:
    std::function<const app::Parameter*()> parameter_;
};

// An entry field: every character key is put to `judge` (the step model's KeyPress),
// which takes it, refuses it or moves the focus on; editing and cursor keys pass.
class EntryEdit : public QLineEdit {
  public:
    explicit EntryEdit(QWidget* parent = nullptr);
    std::function<EntryKey(char key, int selected)> judge;
    std::function<void()> movedOn;

    // Shows a text from the model without disturbing the cursor when it is unchanged.
    void Show(const std::string& text);
    // Binds the field to the user parameter it sets (which may change with the filter
    // type or a unit box): its tool tip is the parameter's help with range and default,
    // its validator the parameter's range, and a value out of range is shown in red.
    void BindParameter(std::function<const app::Parameter*()> parameter);
    // The tool tip and the out-of-range mark again (after the parameter changed).
    void ShowParameter();

  protected:
    void keyPressEvent(QKeyEvent*) override;

  private:
    std::function<const app::Parameter*()> parameter_;
};

} // namespace velmora::gui
