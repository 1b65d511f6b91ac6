#include "app/form_view.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kestrune::app {

namespace {

// Twips beyond the last control when a form gives no client size.
constexpr int kFitMarginTwips = 120;
// Room kept free around a window for its frame and title bar.
constexpr int kWindowFrameWidth = 8;
constexpr int kWindowFrameHeight = 32;
// A frame's title starts this far in and keeps this gap in its line.
constexpr int kFrameTitleLeft = 6;
constexpr int kFrameTitleGap = 2;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Index in UTF-16 units of the code point `codePoints` of `text`.
int Utf16Index(const QString& text, int codePoints) {
  int i = 0;
  for (int n = 0; n < codePoints && i < text.size(); ++n) {
    i += (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
  }
  return i;
}

QFont ProportionalFont() {
  QFont f;
  // The layout was drawn for a narrow 8 pt dialog font: a narrow face keeps
  // the widest figures inside their columns, and the plain faces serve when
  // the system has none.
  f.setFamilies({"Liberation Sans Narrow", "Arial Narrow", "Nimbus Sans Narrow",
                 "DejaVu Sans Condensed", "Liberation Sans", "Arial", "DejaVu Sans"});
  f.setStyleHint(QFont::SansSerif);
  return f;
}

QFont MonospaceFont() {
  QFont f;
  f.setFamilies({"Liberation Mono", "DejaVu Sans Mono", "Courier New"});
  f.setStyleHint(QFont::TypeWriter);
  f.setFixedPitch(true);
  return f;
}

// Room for a second line, even if its descenders are cut.
bool HasRoomForTwoLines(int heightPx, const QFontMetrics& fm) {
  return heightPx >= fm.lineSpacing() + fm.ascent();
}

// Greedy word wrap of `text` into lines no wider than `width` pixels. Lines
// break only at blanks (a run of blanks becomes one line break), never inside
// a unit such as "(m/usec)".
QString WrapWords(const QString& text, const QFontMetrics& fm, int width) {
  static const QRegularExpression kBlanks(QStringLiteral(" +"));
  QStringList lines;
  QString line;
  int from = 0;
  auto add = [&](const QString& word, const QString& gap) {
    if (word.isEmpty()) return;
    const QString candidate = line.isEmpty() ? word : line + gap + word;
    if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
      lines << line;
      line = word;
    } else {
      line = candidate;
    }
  };
  QString gap;
  for (auto it = kBlanks.globalMatch(text); it.hasNext();) {
    const auto m = it.next();
    add(text.mid(from, m.capturedStart() - from), gap);
    gap = m.captured();
    from = m.capturedEnd();
  }
  add(text.mid(from), gap);
  if (!line.isEmpty()) lines << line;
  return lines.join('\n');
}

// True when `widget` has selected text of its own that Ctrl+C should copy.
bool HasSelectedText(QObject* widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->hasSelectedText();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->hasSelectedText();
  return false;
}

// The overlap of two rectangles along each axis, in pixels (0 or less: none).
int OverlapX(const QRect& a, const QRect& b) {
  return std::min(a.right(), b.right()) - std::max(a.left(), b.left()) + 1;
}
int OverlapY(const QRect& a, const QRect& b) {
  return std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top()) + 1;
}

// A frame drawn the way the layout expects: its line runs through the middle
// of the title, so controls placed just below the title stand clear of it.
class FrameBox : public QGroupBox {
 public:
  explicit FrameBox(QWidget* parent) : QGroupBox(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QFontMetrics fm(font());
    const int lineY = FrameLineY(fm);
    const QRect titleRect = FrameTitleRect(fm, title());
    p.setPen(palette().color(QPalette::Mid));
    const QRect box = rect().adjusted(0, lineY, -1, -1);
    if (titleRect.isEmpty()) {
      p.drawLine(box.topLeft(), box.topRight());
    } else {
      p.drawLine(box.left(), lineY, titleRect.left() - 1, lineY);
      p.drawLine(titleRect.right() + 1, lineY, box.right(), lineY);
    }
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.drawLine(box.bottomLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(titleRect, Qt::AlignCenter, title());
  }
};

}  // namespace

int FrameLineY(const QFontMetrics& fm) {
  return fm.height() / 2;
}

QRect FrameTitleRect(const QFontMetrics& fm, const QString& title) {
  if (title.isEmpty()) return {};
  return QRect(kFrameTitleLeft, 0, fm.horizontalAdvance(title) + 2 * kFrameTitleGap, fm.height());
}

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

QSize LargestWindowSize(const QScreen* screen) {
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
  return screen->availableGeometry().size() - QSize(kWindowFrameWidth, kWindowFrameHeight);
}

struct FormView::Binding {
  Control* control = nullptr;
  QWidget* widget = nullptr;
  int subscription = 0;
  bool from_widget = false;        // a change the widget itself made: no echo
  bool select_on_release = false;  // focus came by a mouse press
};

FormView::FormView(Form& form, FrameCloseHandler onFrameClose, double dpi)
    : form_(form), on_frame_close_(std::move(onFrameClose)), dpi_(dpi > 0.0 ? dpi : ScreenDpi()) {
  setObjectName(Q(form.Name()));
  setWindowTitle(Q(form.Caption()));
  setFont(ProportionalFont());
  // The controls stand on a client of the form's size; when the screen is
  // smaller than the form, the client scrolls inside the window.
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  // The scrolling area shows nothing of its own to act on; the keyboard
  // reaches the controls alone.
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setWidgetResizable(false);
  client_ = new QWidget;
  client_->setObjectName("kestruneClient");
  scroll_->setWidget(client_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll_);
  CreateWidgets();
  ResolveOverlaps();
  for (auto& b : bindings_) ApplyCaption(*b);  // wrapping follows the final heights
  FitClientArea();
  ApplyTabOrder();
  form_subscription_ = form_.Subscribe([this](Form& f, Change change) {
    if (change == Change::Caption) setWindowTitle(Q(f.Caption()));
    if (change == Change::Closed) hide();
  });
  if (form_.Closed()) setVisible(false);
}

FormView::~FormView() {
  form_.Unsubscribe(form_subscription_);
  for (auto& b : bindings_) {
    b->control->Unsubscribe(b->subscription);
    b->widget->removeEventFilter(this);
  }
}

QWidget* FormView::WidgetOf(const Control& control) const {
  for (const auto& b : bindings_) {
    if (b->control == &control) return b->widget;
  }
  return nullptr;
}

FormView::Binding* FormView::BindingOf(QObject* widget) {
  auto it = by_widget_.find(widget);
  return it == by_widget_.end() ? nullptr : it->second;
}

void FormView::SetCopyAllAction(QAction* action) {
  copy_all_ = action;
  action->setShortcut(QKeySequence::Copy);
  AddWindowAction(action);
}

void FormView::AddWindowAction(QAction* action) {
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  client_->addAction(action);
  client_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void FormView::SetAccessibleName(const Control& control, const QString& name) {
  QWidget* w = WidgetOf(control);
  if (w == nullptr) return;
  w->setAccessibleName(name);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setAccessibleDescription(label->property("kestruneCaption").toString().trimmed());
  }
}

std::unique_ptr<QMenu> FormView::LabelMenu(QLabel* label) {
  auto menu = std::make_unique<QMenu>(this);
  QAction* copy = menu->addAction("Copy");
  copy->setObjectName("kestruneCopyLabel");
  connect(copy, &QAction::triggered, this, [label] {
    const QString selected = label->selectedText();
    QGuiApplication::clipboard()->setText(
        !selected.isEmpty() ? selected : label->property("kestruneCaption").toString().trimmed());
  });
  if (!actions().isEmpty()) menu->addSeparator();
  menu->addActions(actions());
  return menu;
}

void FormView::CreateWidgets() {
  std::map<const Control*, QWidget*> made;
  for (Control* c : form_.Controls()) {
    auto b = std::make_unique<Binding>();
    b->control = c;
    Binding* raw = b.get();
    switch (c->Kind()) {
      case ControlKind::Label: {
        auto* w = new QLabel(client_);
        w->setTextFormat(Qt::PlainText);
        // Every figure can be selected and copied; a right click opens the
        // view's label menu (LabelMenu) rather than the label's own.
        w->setTextInteractionFlags(Qt::TextSelectableByMouse);
        w->setContextMenuPolicy(Qt::DefaultContextMenu);
        b->widget = w;
        break;
      }
      case ControlKind::Frame:
        b->widget = new FrameBox(client_);
        break;
      case ControlKind::TextBox: {
        auto* w = new QLineEdit(client_);
        auto* box = static_cast<TextBox*>(c);
        connect(w, &QLineEdit::textEdited, this, [raw, box](const QString& text) {
          raw->from_widget = true;
          box->SetText(text.toStdString());
          raw->from_widget = false;
        });
        b->widget = w;
        break;
      }
      case ControlKind::ComboBox: {
        auto* w = new QComboBox(client_);
        w->setEditable(false);
        auto* combo = static_cast<ComboBox*>(c);
        // activated comes from the user only (mouse, arrow keys, typing,
        // wheel); a pick of the same entry again is a click too.
        connect(w, &QComboBox::activated, this, [raw, combo](int index) {
          raw->from_widget = true;
          RunEventHandler([combo, index] { combo->SetListIndex(index); });
          raw->from_widget = false;
        });
        b->widget = w;
        break;
      }
      case ControlKind::CommandButton: {
        auto* w = new QPushButton(client_);
        w->setAutoDefault(false);
        auto* button = static_cast<CommandButton*>(c);
        connect(w, &QPushButton::clicked, this, [button] { button->DoClick(); });
        b->widget = w;
        break;
      }
    }
    b->widget->setObjectName(Q(c->ObjectName()));
    b->widget->installEventFilter(this);
    made[c] = b->widget;
    by_widget_[b->widget] = raw;
    bindings_.push_back(std::move(b));
  }
  // Controls held by a frame become children of its group box, whatever the
  // order of creation.
  for (auto& b : bindings_) {
    if (Control* holder = b->control->Container()) {
      auto it = made.find(holder);
      if (it != made.end()) b->widget->setParent(it->second);
    }
  }
  for (auto& b : bindings_) {
    ApplyAll(*b);
    Binding* raw = b.get();
    b->subscription = b->control->Subscribe(
        [this, raw](Control&, Change change) { OnControlChange(*raw, change); });
  }
}

void FormView::Place(Binding& b) {
  const TwipsRect& r = b.control->Rect();
  const int left = TwipsToPixels(r.left, dpi_);
  const int top = TwipsToPixels(r.top, dpi_);
  const int right = TwipsToPixels(r.left + r.width, dpi_);
  const int bottom = TwipsToPixels(r.top + r.height, dpi_);
  b.widget->setGeometry(left, top, right - left, bottom - top);
}

// Rectangles drawn for a narrower face overlap here and there by a few
// pixels, and a list or a field is taller than the pitch of its rows, so one
// control would hide the edge of the next and take its clicks. Two controls
// of one container that overlap are parted along the axis of the smaller
// overlap: the upper one then ends where the lower one begins, or two side
// by side share the overlap. Only the rectangles decide, never the
// captions, so the layout is the same whatever the controls show.
void FormView::ResolveOverlaps() {
  for (std::size_t i = 0; i < bindings_.size(); ++i) {
    for (std::size_t j = i + 1; j < bindings_.size(); ++j) {
      QWidget* a = bindings_[i]->widget;
      QWidget* b = bindings_[j]->widget;
      if (a->parentWidget() != b->parentWidget()) continue;
      const QRect ra = a->geometry();
      const QRect rb = b->geometry();
      const int ox = OverlapX(ra, rb);
      const int oy = OverlapY(ra, rb);
      if (ox <= 0 || oy <= 0) continue;
      if (oy <= ox) {
        QWidget* upper = ra.top() <= rb.top() ? a : b;
        QWidget* lower = upper == a ? b : a;
        QRect r = upper->geometry();
        r.setBottom(lower->geometry().top() - 1);
        upper->setGeometry(r);
      } else {
        QWidget* left = ra.left() <= rb.left() ? a : b;
        QWidget* right = left == a ? b : a;
        // Side by side, each gives up half of the overlap, and the pixel in
        // the middle stays free.
        const int middle = (right->geometry().left() + left->geometry().right()) / 2;
        QRect l = left->geometry();
        l.setRight(middle - 1);
        left->setGeometry(l);
        QRect r = right->geometry();
        r.setLeft(middle + 1);
        right->setGeometry(r);
      }
    }
  }
}

void FormView::ApplyAll(Binding& b) {
  Place(b);
  ApplyFont(b);  // before the caption: a wrapped caption depends on the font
  ApplyCaption(b);
  ApplyItems(b);
  ApplySelection(b);
  b.widget->setHidden(!b.control->Visible());
  b.widget->setEnabled(b.control->Enabled());
}

void FormView::OnControlChange(Binding& b, Change change) {
  switch (change) {
    case Change::Caption:
    case Change::Text:
      ApplyCaption(b);
      break;
    case Change::Visible:
      b.widget->setHidden(!b.control->Visible());
      break;
    case Change::Enabled:
      b.widget->setEnabled(b.control->Enabled());
      break;
    case Change::Selection:
      if (!b.from_widget) ApplySelection(b);
      break;
    case Change::Items:
      ApplyItems(b);
      break;
    case Change::ListIndex:
      ApplyListIndex(b);
      break;
    case Change::Font:
      ApplyFont(b);
      ApplyCaption(b);
      break;
    case Change::Closed:
      break;
  }
}

// Monospace labels of one container whose rectangles share columns (a
// heading and the rows under it) set their text on one character grid that
// starts at the rightmost of their left edges, so each figure stands under
// its heading. A row too long for the grid starts further left rather than
// being cut.
void FormView::ApplyGridIndent(Binding& b) {
  auto* label = static_cast<Label*>(b.control);
  auto* w = static_cast<QLabel*>(b.widget);
  if (!label->Monospace()) return;
  int origin = w->x();
  for (const auto& other : bindings_) {
    if (other->control->Kind() != ControlKind::Label ||
        !static_cast<Label*>(other->control)->Monospace() ||
        other->widget->parentWidget() != w->parentWidget()) {
      continue;
    }
    if (OverlapX(other->widget->geometry(), w->geometry()) > 0) {
      origin = std::max(origin, other->widget->x());
    }
  }
  const int room = w->width() - QFontMetrics(w->font()).horizontalAdvance(w->text());
  // Contents margins rather than QLabel's indent, which a top alignment
  // would also apply to the top edge.
  w->setContentsMargins(std::clamp(origin - w->x(), 0, std::max(room, 0)), 0, 0, 0);
}

void FormView::ApplyCaption(Binding& b) {
  switch (b.control->Kind()) {
    case ControlKind::Label: {
      auto* label = static_cast<Label*>(b.control);
      auto* w = static_cast<QLabel*>(b.widget);
      const QString caption = Q(label->Caption());
      w->setProperty("kestruneCaption", caption);
      const Qt::Alignment horizontal =
          label->Align() == TextAlign::Right ? Qt::AlignRight : Qt::AlignLeft;
      w->setAlignment(horizontal | Qt::AlignTop);
      // A label with room for two lines breaks its caption at blanks, as the
      // narrow column headings need.
      const QFontMetrics fm(w->font());
      const bool wrap = HasRoomForTwoLines(w->height(), fm);
      w->setText(wrap ? WrapWords(caption, fm, w->width()) : caption);
      if (!w->accessibleName().isEmpty()) w->setAccessibleDescription(caption.trimmed());
      ApplyGridIndent(b);
      break;
    }
    case ControlKind::Frame:
      static_cast<QGroupBox*>(b.widget)->setTitle(Q(static_cast<Frame*>(b.control)->Caption()));
      break;
    case ControlKind::TextBox: {
      auto* w = static_cast<QLineEdit*>(b.widget);
      const QString text = Q(static_cast<TextBox*>(b.control)->Text());
      // Typing already shows the text; setting it again would move the cursor.
      if (w->text() != text) w->setText(text);
      break;
    }
    case ControlKind::CommandButton: {
      auto* w = static_cast<QPushButton*>(b.widget);
      const QString caption = Q(static_cast<CommandButton*>(b.control)->Caption());
      w->setAccessibleName(caption);
      w->setProperty("kestruneCaption", caption);
      // A button tall enough for several lines breaks a long caption into
      // words, as the narrow copy button needs.
      const QFontMetrics fm(w->font());
      const int room = w->width() - 8;
      QString shown = caption;
      if (fm.horizontalAdvance(caption) > room && HasRoomForTwoLines(w->height() - 6, fm)) {
        shown = WrapWords(caption, fm, room);
      }
      w->setText(shown);
      break;
    }
    case ControlKind::ComboBox:
      break;
  }
}

void FormView::ApplyFont(Binding& b) {
  const FontSpec& wanted = b.control->Font();
  const bool mono =
      b.control->Kind() == ControlKind::Label && static_cast<const Label*>(b.control)->Monospace();
  QFont f = mono ? MonospaceFont() : ProportionalFont();
  f.setPointSizeF(wanted.points);
  f.setBold(wanted.bold);
  f.setItalic(wanted.italic);
  b.widget->setFont(f);
  const QColor colour(static_cast<int>((wanted.rgb >> 16) & 0xFF),
                      static_cast<int>((wanted.rgb >> 8) & 0xFF),
                      static_cast<int>(wanted.rgb & 0xFF));
  QPalette p = b.widget->palette();
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Text, colour);
  p.setColor(QPalette::ButtonText, colour);
  b.widget->setPalette(p);
}

void FormView::ApplySelection(Binding& b) {
  if (b.control->Kind() != ControlKind::TextBox) return;
  auto* box = static_cast<TextBox*>(b.control);
  auto* w = static_cast<QLineEdit*>(b.widget);
  const QString text = w->text();
  const int start = Utf16Index(text, box->SelStart());
  const int end = Utf16Index(text, box->SelStart() + box->SelLength());
  if (end > start) {
    w->setSelection(start, end - start);
  } else {
    w->deselect();
    w->setCursorPosition(start);
  }
}

void FormView::ApplyItems(Binding& b) {
  if (b.control->Kind() != ControlKind::ComboBox) return;
  auto* combo = static_cast<ComboBox*>(b.control);
  auto* w = static_cast<QComboBox*>(b.widget);
  const QSignalBlocker block(w);
  w->clear();
  for (int i = 0; i < combo->ListCount(); ++i) w->addItem(Q(combo->List(i)));
  w->setMaxVisibleItems(std::max(combo->ListCount(), 1));
  w->setCurrentIndex(combo->ListIndex());
}

void FormView::ApplyListIndex(Binding& b) {
  auto* combo = static_cast<ComboBox*>(b.control);
  auto* w = static_cast<QComboBox*>(b.widget);
  const QSignalBlocker block(w);
  if (w->currentIndex() != combo->ListIndex()) w->setCurrentIndex(combo->ListIndex());
}

void FormView::ApplyTabOrder() {
  QWidget* previous = nullptr;
  for (Control* c : form_.TabOrder()) {
    QWidget* w = WidgetOf(*c);
    if (w == nullptr) continue;
    w->setFocusPolicy(Qt::StrongFocus);
    if (previous != nullptr) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

void FormView::FitClientArea() {
  int width = TwipsToPixels(form_.ClientWidth(), dpi_);
  int height = TwipsToPixels(form_.ClientHeight(), dpi_);
  if (width <= 0 || height <= 0) {
    const int margin = TwipsToPixels(kFitMarginTwips, dpi_);
    int right = 0;
    int bottom = 0;
    for (const auto& b : bindings_) {
      if (b->control->Container() != nullptr) continue;
      right = std::max(right, b->widget->geometry().right() + 1);
      bottom = std::max(bottom, b->widget->geometry().bottom() + 1);
    }
    if (width <= 0) width = right + margin;
    if (height <= 0) height = bottom + margin;
  }
  const QSize form(width, height);
  client_->setFixedSize(form);
  // The window is the form's size when the screen has room for it, and
  // otherwise as large as the screen allows, with scroll bars.
  setMaximumSize(form);
  const QSize largest = LargestWindowSize(screen());
  resize(form.boundedTo(largest));
  if (form.width() > largest.width() || form.height() > largest.height()) {
    setMinimumSize(QSize(100, 100).boundedTo(form));
  } else {
    setMinimumSize(form);
  }
}

void FormView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!first_show_) return;
  first_show_ = false;
  // The window opens with the focus on the first control of the tab order
  // that can take it.
  for (Control* c : form_.TabOrder()) {
    QWidget* w = WidgetOf(*c);
    if (w != nullptr && c->Visible() && w->isEnabled()) {
      w->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
}

void FormView::closeEvent(QCloseEvent* event) {
  event->accept();
  if (ending_ || form_.Closed() || !on_frame_close_) return;
  on_frame_close_(form_);
}

void FormView::FocusIn(Binding& b) {
  if (model_focus_ == b.control) return;
  Control* previous = model_focus_;
  model_focus_ = b.control;
  if (previous != nullptr) {
    if (previous->Kind() == ControlKind::TextBox) static_cast<TextBox*>(previous)->FireLostFocus();
    if (previous->Kind() == ControlKind::ComboBox)
      static_cast<ComboBox*>(previous)->FireLostFocus();
  }
  if (b.control->Kind() == ControlKind::TextBox) static_cast<TextBox*>(b.control)->FireGotFocus();
  if (b.control->Kind() == ControlKind::ComboBox) static_cast<ComboBox*>(b.control)->FireGotFocus();
}

void FormView::FocusOut(Binding& b, Qt::FocusReason reason) {
  // A message box or another window taking over, or a list's popup opening,
  // does not move the focus between the controls of the form.
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  if (model_focus_ != b.control) return;
  model_focus_ = nullptr;
  b.select_on_release = false;
  if (b.control->Kind() == ControlKind::TextBox) static_cast<TextBox*>(b.control)->FireLostFocus();
  if (b.control->Kind() == ControlKind::ComboBox)
    static_cast<ComboBox*>(b.control)->FireLostFocus();
}

bool FormView::focusNextPrevChild(bool next) {
  std::vector<QWidget*> order;
  for (Control* c : form_.TabOrder()) {
    QWidget* w = WidgetOf(*c);
    if (w != nullptr && w->isVisibleTo(this) && w->isEnabled()) order.push_back(w);
  }
  if (order.empty()) return false;
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  const auto at = std::find(order.begin(), order.end(), QApplication::focusWidget());
  // From outside the order, Tab enters at its first control and Shift+Tab
  // at its last.
  std::ptrdiff_t i = at == order.end() ? (next ? 0 : n - 1) : at - order.begin() + (next ? 1 : -1);
  QWidget* target = order[static_cast<std::size_t>((i % n + n) % n)];
  target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  scroll_->ensureWidgetVisible(target);
  return true;
}

bool FormView::LabelEvent(QLabel* label, QEvent* event) {
  // A label's own selection goes to the clipboard by Ctrl+C; without one
  // the window's copy of everything has the key (above).
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) && label->hasSelectedText()) {
    QGuiApplication::clipboard()->setText(label->selectedText());
    event->accept();
    return true;
  }
  if (event->type() == QEvent::ContextMenu) {
    LabelMenu(label)->exec(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  return QWidget::eventFilter(label, event);
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
  Binding* b = BindingOf(watched);
  if (b == nullptr) return QWidget::eventFilter(watched, event);
  // Ctrl+C copies the selection of the focused control when it has one, and
  // everything the window shows otherwise.
  if (event->type() == QEvent::ShortcutOverride && copy_all_ != nullptr &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) && !HasSelectedText(watched)) {
    event->ignore();
    return true;
  }
  const ControlKind kind = b->control->Kind();
  if (kind == ControlKind::Label) return LabelEvent(static_cast<QLabel*>(b->widget), event);
  if (kind != ControlKind::TextBox && kind != ControlKind::ComboBox) {
    return QWidget::eventFilter(watched, event);
  }
  switch (event->type()) {
    case QEvent::FocusIn: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // The press that gave the focus places the cursor after this event, so
      // the selection the model makes is shown again when the button is up.
      if (reason == Qt::MouseFocusReason) b->select_on_release = true;
      FocusIn(*b);
      break;
    }
    case QEvent::FocusOut:
      FocusOut(*b, static_cast<QFocusEvent*>(event)->reason());
      break;
    case QEvent::MouseButtonRelease:
      if (b->select_on_release) {
        b->select_on_release = false;
        ApplySelection(*b);
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kestrune::app
