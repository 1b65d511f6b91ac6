#include "app/form_view.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace kestrune::app {

namespace {

// Twips beyond the last control when a form gives no client size.
constexpr int kFitMarginTwips = 120;

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
  // The layout was drawn for a narrow 8 pt dialog font; the first of these
  // that the system has is used.
  f.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans",
                 "DejaVu Sans Condensed", "DejaVu Sans"});
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

// A one-line label in a frame whose columns are made with runs of blanks
// (the residual rows and their heading): a monospace face makes blanks and
// digits equally wide, so the columns line up from row to row.
bool IsBlankColumnLabel(const Label& label, int heightPx, const QFontMetrics& fm) {
  if (label.Container() == nullptr || heightPx >= 2 * fm.lineSpacing()) return false;
  static const QRegularExpression kColumns(QStringLiteral("\\S {3,}\\S"));
  return kColumns.match(Q(label.Caption())).hasMatch();
}

// Room for a second line, even if its descenders are cut.
bool HasRoomForTwoLines(int heightPx, const QFontMetrics& fm) {
  return heightPx >= fm.lineSpacing() + fm.ascent();
}

// Shrinks the font of a label whose caption does not fit its width (each word
// of a wrapping label), down to three quarters of the size: the layout was
// drawn for a narrower face, and a figure cut at its edge would mislead.
void ShrinkToFit(QLabel* label, const QString& caption, bool wrap) {
  QFont f = label->font();
  const double smallest = f.pointSizeF() * 0.75;
  const QStringList pieces = wrap ? caption.split(' ', Qt::SkipEmptyParts) : QStringList{caption};
  auto fits = [&](const QFont& font) {
    const QFontMetrics fm(font);
    for (const QString& p : pieces) {
      if (fm.horizontalAdvance(p) > label->width()) return false;
    }
    return true;
  };
  bool changed = false;
  while (!fits(f) && f.pointSizeF() - 0.25 >= smallest) {
    f.setPointSizeF(f.pointSizeF() - 0.25);
    changed = true;
  }
  if (changed) label->setFont(f);
}

// Greedy word wrap of `text` into lines no wider than `width` pixels.
QString WrapWords(const QString& text, const QFontMetrics& fm, int width) {
  const QStringList words = text.split(' ', Qt::SkipEmptyParts);
  QStringList lines;
  QString line;
  for (const QString& w : words) {
    QString candidate = line.isEmpty() ? w : line + ' ' + w;
    if (!line.isEmpty() && fm.horizontalAdvance(candidate) > width) {
      lines << line;
      line = w;
    } else {
      line = candidate;
    }
  }
  if (!line.isEmpty()) lines << line;
  return lines.join('\n');
}

}  // namespace

int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInch() : 96.0;
}

bool LooksNumeric(const QString& caption) {
  static const QRegularExpression kNumber(QStringLiteral("^ *-?[0-9]*[.,]?[0-9]+( m)?$"));
  return kNumber.match(caption).hasMatch();
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
  CreateWidgets();
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

void FormView::CreateWidgets() {
  std::map<const Control*, QWidget*> made;
  for (Control* c : form_.Controls()) {
    auto b = std::make_unique<Binding>();
    b->control = c;
    Binding* raw = b.get();
    switch (c->Kind()) {
      case ControlKind::Label: {
        auto* w = new QLabel(this);
        w->setTextFormat(Qt::PlainText);
        b->widget = w;
        break;
      }
      case ControlKind::Frame:
        b->widget = new QGroupBox(this);
        break;
      case ControlKind::TextBox: {
        auto* w = new QLineEdit(this);
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
        auto* w = new QComboBox(this);
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
        auto* w = new QPushButton(this);
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

void FormView::ApplyCaption(Binding& b) {
  switch (b.control->Kind()) {
    case ControlKind::Label: {
      auto* label = static_cast<Label*>(b.control);
      auto* w = static_cast<QLabel*>(b.widget);
      const QString caption = Q(label->Caption());
      w->setProperty("kestruneMono", false);
      ApplyFont(b);
      const bool mono = IsBlankColumnLabel(*label, w->height(), QFontMetrics(w->font()));
      if (mono) {
        w->setProperty("kestruneMono", true);
        ApplyFont(b);
      }
      // Figures in the result tables are right-aligned so that their digits
      // line up in each column.
      const bool figure = label->Container() != nullptr && LooksNumeric(caption);
      w->setAlignment((figure ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
      // A label with room for two lines wraps its words, as the captions of
      // the narrow column headings need.
      const bool wrap = HasRoomForTwoLines(w->height(), QFontMetrics(w->font()));
      w->setWordWrap(wrap);
      ShrinkToFit(w, caption, wrap);
      w->setText(caption);
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
  const bool mono = b.widget->property("kestruneMono").toBool();
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
  setFixedSize(width, height);
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

bool FormView::eventFilter(QObject* watched, QEvent* event) {
  Binding* b = BindingOf(watched);
  if (b == nullptr) return QWidget::eventFilter(watched, event);
  const ControlKind kind = b->control->Kind();
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
