#include "platform/controls.hpp"

#include <exception>
#include <utility>

#include "platform/message_box.hpp"

namespace kestrune {

namespace {
// Number of code points in a UTF-8 text (continuation bytes do not count).
int CodePoints(const std::string& s) {
  int n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}
}  // namespace

void RunEventHandler(const std::function<void()>& handler) {
  if (!handler) return;
  try {
    handler();
  } catch (const RuntimeFault& fault) {
    MsgBox(fault.what());
  } catch (const std::exception& e) {
    MsgBox(std::string("Run-time error: ") + e.what());
  }
}

Control::Control(ControlKind kind, std::string name, int index, TwipsRect rect, Control* container)
    : kind_(kind), name_(std::move(name)), index_(index), rect_(rect), container_(container) {}

std::string Control::ObjectName() const {
  return index_ < 0 ? name_ : name_ + "_" + std::to_string(index_);
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Notify(Change::Visible);
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Notify(Change::Enabled);
}

void Control::SetFont(const FontSpec& font) {
  font_ = font;
  Notify(Change::Font);
}

Label::Label(std::string name, int index, TwipsRect rect, Control* container, std::string caption)
    : Control(ControlKind::Label, std::move(name), index, rect, container),
      caption_(std::move(caption)) {}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  Notify(Change::Caption);
}

Label& Label::SetPresentation(TextAlign align, bool monospace) {
  align_ = align;
  monospace_ = monospace;
  Notify(Change::Font);
  return *this;
}

Frame::Frame(std::string name, int index, TwipsRect rect, Control* container, std::string caption)
    : Control(ControlKind::Frame, std::move(name), index, rect, container),
      caption_(std::move(caption)) {}

TextBox::TextBox(std::string name, int index, TwipsRect rect, Control* container, std::string text)
    : Control(ControlKind::TextBox, std::move(name), index, rect, container),
      text_(std::move(text)) {}

void TextBox::SetText(const std::string& text) {
  text_ = text;
  sel_start_ = TextLength();
  sel_length_ = 0;
  Notify(Change::Text);
}

int TextBox::TextLength() const {
  return CodePoints(text_);
}

void TextBox::SetSelection(int start, int length) {
  int n = TextLength();
  if (start < 0) start = 0;
  if (start > n) start = n;
  if (length < 0) length = 0;
  if (start + length > n) length = n - start;
  sel_start_ = start;
  sel_length_ = length;
  Notify(Change::Selection);
}

void TextBox::FireGotFocus() {
  RunEventHandler(GotFocus);
}
void TextBox::FireLostFocus() {
  RunEventHandler(LostFocus);
}

ComboBox::ComboBox(std::string name, int index, TwipsRect rect, Control* container)
    : Control(ControlKind::ComboBox, std::move(name), index, rect, container) {}

void ComboBox::AddItem(const std::string& item) {
  items_.push_back(item);
  Notify(Change::Items);
}

const std::string& ComboBox::List(int position) const {
  if (position < 0 || position >= ListCount()) throw RuntimeFault(RuntimeFault::kSubscript);
  return items_[static_cast<size_t>(position)];
}

void ComboBox::SetListIndex(int position) {
  if (position < -1 || position >= ListCount()) throw RuntimeFault(RuntimeFault::kSubscript);
  list_index_ = position;
  Notify(Change::ListIndex);
  if (Click) Click();
}

std::string ComboBox::Text() const {
  return list_index_ < 0 ? std::string() : items_[static_cast<size_t>(list_index_)];
}

void ComboBox::FireGotFocus() {
  RunEventHandler(GotFocus);
}
void ComboBox::FireLostFocus() {
  RunEventHandler(LostFocus);
}

CommandButton::CommandButton(std::string name, int index, TwipsRect rect, Control* container,
                             std::string caption)
    : Control(ControlKind::CommandButton, std::move(name), index, rect, container),
      caption_(std::move(caption)) {}

void CommandButton::DoClick() {
  if (Enabled()) RunEventHandler(Click);
}

Form::Form(std::string name, std::string caption, int clientWidth, int clientHeight)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      client_width_(clientWidth),
      client_height_(clientHeight) {}

void Form::SetCaption(const std::string& caption) {
  caption_ = caption;
  Notify(Change::Caption);
}

std::vector<Control*> Form::TabOrder() const {
  std::vector<Control*> out;
  for (Control* c : order_) {
    if (c->Kind() == ControlKind::TextBox || c->Kind() == ControlKind::ComboBox ||
        c->Kind() == ControlKind::CommandButton) {
      out.push_back(c);
    }
  }
  return out;
}

Control* Form::Find(const std::string& objectName) const {
  for (Control* c : order_) {
    if (c->ObjectName() == objectName) return c;
  }
  return nullptr;
}

void Form::Close() {
  if (closed_) return;
  closed_ = true;
  Notify(Change::Closed);
}

}  // namespace kestrune
