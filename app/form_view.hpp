// A top-level Qt window that shows one Form model: every control becomes a
// real widget at its twips rectangle, and the binding runs both ways. Model
// changes reach the widgets at once through the models' Subscribe(); what the
// user does (typing, picking, pressing, moving the focus) goes back into the
// models. The view knows no form by name, so it serves every window.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/controls.hpp"

class QAction;
class QFontMetrics;
class QLabel;
class QMenu;
class QScreen;
class QScrollArea;

namespace kestrune::app {

// twips: a length in twips (1440 to the inch); dpi: logical dots per inch of
// the screen (> 0). Returns the length in device-independent pixels, rounded.
int TwipsToPixels(int twips, double dpi);

// The logical DPI of the primary screen (96 when there is none).
double ScreenDpi();

// The largest size a window may take on `screen` (nullptr: the primary
// screen): its available area less room for the window frame.
QSize LargestWindowSize(const QScreen* screen);

// Where a frame draws its line (the middle of its title) and its title, for
// the frame's font metrics `fm`.
int FrameLineY(const QFontMetrics& fm);
QRect FrameTitleRect(const QFontMetrics& fm, const QString& title);

class FormView : public QWidget {
 public:
  using FrameCloseHandler = std::function<void(Form&)>;

  // form: the model, which must outlive the view. onFrameClose: called when
  // the user closes the window through its frame (not when the model closes
  // it). dpi: logical dots per inch used for the twips (0: the screen's).
  explicit FormView(Form& form, FrameCloseHandler onFrameClose = {}, double dpi = 0.0);
  ~FormView() override;

  Form& Model() const { return form_; }
  // The widget that shows `control` (nullptr for a control of another form).
  QWidget* WidgetOf(const Control& control) const;
  // The program is ending: a close of the window is no longer reported.
  void SetEnding(bool ending) { ending_ = ending; }
  // Pixels per twip used by this view.
  double Dpi() const { return dpi_; }
  // The widget that holds every control at its place; it scrolls inside the
  // window when the window is smaller than the form.
  QWidget* Client() const { return client_; }
  QScrollArea* ScrollArea() const { return scroll_; }
  // The window's own command for copying everything it shows: Ctrl+C runs
  // it unless the focused control has selected text to copy, and the
  // right-click menu of the window offers it. The view does not own it.
  void SetCopyAllAction(QAction* action);
  // An entry of the window's right-click menu, and its shortcut anywhere in
  // the window.
  void AddWindowAction(QAction* action);
  // Names the widget of `control` for assistive technology (a result's
  // column and row, "Distance, 9007 M Ejde"); a label then also tells its
  // caption as its description, kept up to date, so that a screen reader
  // says "Distance, 9007 M Ejde: 511828.8".
  void SetAccessibleName(const Control& control, const QString& name);
  // The right-click menu of a label: "Copy" (its selection, or its whole
  // caption without one), then the window's own entries.
  std::unique_ptr<QMenu> LabelMenu(QLabel* label);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Tab and Shift+Tab follow the form's tab order over the controls that
  // can take the focus, and nothing else (no stop on the scrolling area).
  bool focusNextPrevChild(bool next) override;

 private:
  struct Binding;

  void CreateWidgets();
  void Place(Binding& b);
  void ApplyAll(Binding& b);
  void OnControlChange(Binding& b, Change change);
  void ApplyCaption(Binding& b);
  void ApplyFont(Binding& b);
  void ApplySelection(Binding& b);
  void ApplyItems(Binding& b);
  void ApplyListIndex(Binding& b);
  void ApplyTabOrder();
  void ResolveOverlaps();
  void ApplyGridIndent(Binding& b);
  void FitClientArea();
  // Ctrl+C and the right-click menu of a label.
  bool LabelEvent(QLabel* label, QEvent* event);
  void FocusIn(Binding& b);
  void FocusOut(Binding& b, Qt::FocusReason reason);
  Binding* BindingOf(QObject* widget);

  Form& form_;
  FrameCloseHandler on_frame_close_;
  double dpi_;
  QScrollArea* scroll_ = nullptr;
  QWidget* client_ = nullptr;
  QAction* copy_all_ = nullptr;
  std::vector<std::unique_ptr<Binding>> bindings_;
  std::map<QObject*, Binding*> by_widget_;
  int form_subscription_ = 0;
  Control* model_focus_ = nullptr;  // the control the model believes has the focus
  bool ending_ = false;
  bool first_show_ = true;
};

}  // namespace kestrune::app
