// Small widgets shared by the windows: a picture drawn by a core painter, and an entry
// field whose keys the step model judges.
#pragma once

#include <QImage>
#include <QLineEdit>
#include <QWidget>
#include <functional>

#include "ui/drawing_surface.h"
#include "ui/entry_keys.h"

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

// An entry field: every character key is put to `judge` (the step model's KeyPress),
// which takes it, refuses it or moves the focus on; editing and cursor keys pass.
class EntryEdit : public QLineEdit {
  public:
    explicit EntryEdit(QWidget* parent = nullptr);
    std::function<EntryKey(char key, int selected)> judge;
    std::function<void()> movedOn;

    // Shows a text from the model without disturbing the cursor when it is unchanged.
    void Show(const std::string& text);

  protected:
    void keyPressEvent(QKeyEvent*) override;
};

} // namespace velmora::gui
