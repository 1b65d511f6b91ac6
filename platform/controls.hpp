// Toolkit-neutral control models: the state of every label, text box,
// drop-down list, button and frame of a window, with its name, its rectangle
// in twips and its event handlers. A front end shows each control as a widget
// and follows every change through Subscribe(); tests drive the same models
// directly. Nothing here draws.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/listeners.hpp"
#include "platform/runtime_fault.hpp"

namespace kestrune {

// Position and size in twips (1440 to the inch), relative to the client area
// of the window or to the frame that holds the control.
struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const TwipsRect&) const = default;
};

struct FontSpec {
  double points = 8.25;  // size in points
  bool bold = false;
  bool italic = false;
  unsigned rgb = 0x000000;  // text colour, 0xRRGGBB
  bool operator==(const FontSpec&) const = default;
};

enum class ControlKind { Label, TextBox, ComboBox, CommandButton, Frame };

// What changed, for the listeners of a control or a form.
enum class Change { Caption, Text, Visible, Enabled, Selection, Items, ListIndex, Font, Closed };

// How a label sets its caption in its rectangle: figures in a column stand
// right-aligned so that their digits line up; a caption whose columns are
// made with runs of blanks needs a face in which every character is equally
// wide.
enum class TextAlign { Left, Right };

// Runs an event handler the way the event loop does: a run-time error or any
// other exception does not end the program; it is shown in one message box
// ("Run-time error 11: Division by zero") and the handler stops there.
void RunEventHandler(const std::function<void()>& handler);

class Control {
 public:
  using Listener = std::function<void(Control&, Change)>;

  // index: the member's index in its control array, or -1 for a lone control.
  Control(ControlKind kind, std::string name, int index, TwipsRect rect, Control* container);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  int Index() const { return index_; }
  // The toolkit object name: the name, or name_index for an array member.
  std::string ObjectName() const;

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // A disabled control is shown but takes neither the focus nor a click.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const TwipsRect& Rect() const { return rect_; }
  Control* Container() const { return container_; }
  const FontSpec& Font() const { return font_; }
  void SetFont(const FontSpec& font);

  int Subscribe(Listener listener) { return listeners_.Subscribe(std::move(listener)); }
  void Unsubscribe(int id) { listeners_.Unsubscribe(id); }

 protected:
  void Notify(Change change) { listeners_.Notify(*this, change); }

 private:
  ControlKind kind_;
  std::string name_;
  int index_;
  TwipsRect rect_;
  Control* container_;
  bool visible_ = true;
  bool enabled_ = true;
  FontSpec font_;
  ListenerList<Control&, Change> listeners_;
};

class Label : public Control {
 public:
  Label(std::string name, int index, TwipsRect rect, Control* container, std::string caption);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // Presentation of the caption, fixed when the window is built.
  TextAlign Align() const { return align_; }
  bool Monospace() const { return monospace_; }
  Label& SetPresentation(TextAlign align, bool monospace = false);

 private:
  std::string caption_;
  TextAlign align_ = TextAlign::Left;
  bool monospace_ = false;
};

class Frame : public Control {
 public:
  Frame(std::string name, int index, TwipsRect rect, Control* container, std::string caption);
  const std::string& Caption() const { return caption_; }

 private:
  std::string caption_;
};

class TextBox : public Control {
 public:
  TextBox(std::string name, int index, TwipsRect rect, Control* container, std::string text);
  const std::string& Text() const { return text_; }
  // Text set by the program or typed by the user; the selection is cleared
  // to an insertion point at the end of the new text.
  void SetText(const std::string& text);
  // Selection in characters (code points) of the text.
  int SelStart() const { return sel_start_; }
  int SelLength() const { return sel_length_; }
  void SetSelection(int start, int length);
  // Length of the text in characters (code points).
  int TextLength() const;

  std::function<void()> GotFocus;
  std::function<void()> LostFocus;
  // The front end (or a test) reports focus changes through these; each runs
  // its handler under RunEventHandler.
  void FireGotFocus();
  void FireLostFocus();

 private:
  std::string text_;
  int sel_start_ = 0;
  int sel_length_ = 0;
};

// A drop-down list from which the user can only pick.
class ComboBox : public Control {
 public:
  ComboBox(std::string name, int index, TwipsRect rect, Control* container);
  void AddItem(const std::string& item);
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int position) const;  // RuntimeFault 9 outside 0 to ListCount - 1
  int ListIndex() const { return list_index_; }
  // position: -1 (nothing picked) to ListCount - 1, else RuntimeFault 9
  // (invalid property value). Fires Click, as a pick by the user does.
  void SetListIndex(int position);
  // Text of the picked entry, empty when nothing is picked.
  std::string Text() const;

  std::function<void()> Click;
  std::function<void()> GotFocus;
  std::function<void()> LostFocus;
  void FireGotFocus();
  void FireLostFocus();

 private:
  std::vector<std::string> items_;
  int list_index_ = -1;
};

class CommandButton : public Control {
 public:
  CommandButton(std::string name, int index, TwipsRect rect, Control* container,
                std::string caption);
  const std::string& Caption() const { return caption_; }
  std::function<void()> Click;
  // A press of the button: runs Click under RunEventHandler.
  void DoClick();

 private:
  std::string caption_;
};

// Members lo..hi of one control array; a member that the window does not
// have (a gap in the indices) is null.
template <class T>
class ControlArray {
 public:
  ControlArray() = default;
  ControlArray(int lo, int hi) : lo_(lo), items_(static_cast<size_t>(hi - lo + 1), nullptr) {}
  int LBound() const { return lo_; }
  int UBound() const { return lo_ + static_cast<int>(items_.size()) - 1; }
  // Run-time error 9 for an index outside the array or a missing member.
  T& operator()(int index) const {
    if (index < lo_ || index > UBound() || items_[static_cast<size_t>(index - lo_)] == nullptr) {
      throw RuntimeFault(RuntimeFault::kSubscript);
    }
    return *items_[static_cast<size_t>(index - lo_)];
  }
  void Set(int index, T* member) { items_.at(static_cast<size_t>(index - lo_)) = member; }

 private:
  int lo_ = 0;
  std::vector<T*> items_;
};

// A window: its caption, client size, and every control in creation order.
// Derived forms create their controls with Add(); the order of creation is
// the order in which a front end lays them out.
class Form {
 public:
  using Listener = std::function<void(Form&, Change)>;

  Form(std::string name, std::string caption, int clientWidth, int clientHeight);
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int ClientWidth() const { return client_width_; }    // twips
  int ClientHeight() const { return client_height_; }  // twips

  const std::vector<Control*>& Controls() const { return order_; }
  // The controls that take the focus, in the order Tab visits them.
  virtual std::vector<Control*> TabOrder() const;
  // By object name ("txtTD_1"); nullptr when there is none.
  Control* Find(const std::string& objectName) const;
  template <class T>
  T* FindAs(const std::string& objectName) const {
    return dynamic_cast<T*>(Find(objectName));
  }

  // Closes the window (Unload): listeners hear Change::Closed once.
  void Close();
  bool Closed() const { return closed_; }

  int Subscribe(Listener listener) { return listeners_.Subscribe(std::move(listener)); }
  void Unsubscribe(int id) { listeners_.Unsubscribe(id); }

 protected:
  template <class T, class... Args>
  T& Add(Args&&... args) {
    auto owned = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *owned;
    order_.push_back(owned.get());
    owned_.push_back(std::move(owned));
    return ref;
  }

 private:
  void Notify(Change change) { listeners_.Notify(*this, change); }

  std::string name_;
  std::string caption_;
  int client_width_;
  int client_height_;
  std::vector<std::unique_ptr<Control>> owned_;
  std::vector<Control*> order_;
  bool closed_ = false;
  ListenerList<Form&, Change> listeners_;
};

}  // namespace kestrune
