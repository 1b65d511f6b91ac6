#include "app/application.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLocale>
#include <QShortcut>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/help_window.hpp"
#include "app/qt_message_box.hpp"
#include "calc_window/frm_postdcalc.hpp"
#include "calc_window/results_text.hpp"
#include "platform/locale.hpp"

namespace kestrune::app {

char DecimalSeparatorOf(const QLocale& locale) {
  return locale.decimalPoint().startsWith(',') ? ',' : '.';
}

void AdoptSystemLocale() {
  // QApplication sets the C library locale from the environment; the models
  // convert numbers with the C library and expect its "C" form, and are told
  // the user's separator explicitly instead.
  std::setlocale(LC_NUMERIC, "C");
  SetDecimalSeparator(DecimalSeparatorOf(QLocale::system()));
}

Application::Application() = default;

Application::~Application() {
  // The windows unsubscribe from the models, so they go first.
  help_.reset();
  chart_.reset();
  views_.clear();
  actions_.clear();
  session_.reset();
}

void Application::ShowHelp() {
  if (help_ == nullptr) help_ = std::make_unique<HelpWindow>();
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void Application::Start() {
  session_ = std::make_unique<Session>();
  session_->onFormOpened = [this](Form& form) { Open(form); };
  session_->onFormClosed = [this](Form& form) { Hide(form); };
  session_->onEndRequested = [this] { End(); };
  session_->Start();
}

FormView* Application::View(const Form& form) const {
  for (const auto& v : views_) {
    if (&v->Model() == &form) return v.get();
  }
  return nullptr;
}

void Application::Open(Form& form) {
  FormView* view = View(form);
  if (view == nullptr) {
    views_.push_back(
        std::make_unique<FormView>(form, [this](Form& closed) { FrameClosed(closed); }));
    view = views_.back().get();
    AddActions(*view);
    if (auto* calc = dynamic_cast<Frm_PosTDCalc*>(&form)) {
      calc->OpenChart = [this, calc] { ShowChart(*calc); };
      auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), view);
      QObject::connect(shortcut, &QShortcut::activated, view, [calc] { calc->cmdChart.DoClick(); });
    }
  }
  view->show();
  view->raise();
  view->activateWindow();
}

void Application::AddActions(FormView& view) {
  if (auto* calc = dynamic_cast<Frm_PosTDCalc*>(&view.Model())) {
    for (const auto& [label, name] : ResultNames(*calc)) {
      view.SetAccessibleName(*label, QString::fromStdString(name));
    }
    auto& copy = actions_.emplace_back(std::make_unique<QAction>("Copy results"));
    copy->setObjectName("kestruneCopyResults");
    QObject::connect(copy.get(), &QAction::triggered, [calc] {
      QGuiApplication::clipboard()->setText(QString::fromStdString(ResultsText(*calc)));
    });
    view.SetCopyAllAction(copy.get());
  }
  auto& help = actions_.emplace_back(std::make_unique<QAction>("Help"));
  help->setObjectName("kestruneHelpAction");
  help->setShortcut(QKeySequence::HelpContents);
  QObject::connect(help.get(), &QAction::triggered, [this] { ShowHelp(); });
  view.AddWindowAction(help.get());
  if (auto* calc = dynamic_cast<Frm_PosTDCalc*>(&view.Model())) AddAsfActions(view, *calc);
}

void Application::AddAsfActions(FormView& view, Frm_PosTDCalc& calc) {
  // Two entries that read as the setting's two values; the one in use is ticked.
  // The actions are taken as pointers at once: a second emplace_back may
  // move the vector's elements and leave a reference to the first dangling.
  QAction* noneAction = actions_.emplace_back(std::make_unique<QAction>("ASF: none")).get();
  QAction* coastAction =
      actions_.emplace_back(std::make_unique<QAction>("ASF: from the coastline")).get();
  noneAction->setObjectName("kestruneAsfNone");
  coastAction->setObjectName("kestruneAsfCoastline");
  auto tick = [noneAction, coastAction, &calc] {
    noneAction->setChecked(!calc.AsfFromCoastline());
    coastAction->setChecked(calc.AsfFromCoastline());
  };
  for (QAction* a : {noneAction, coastAction}) {
    a->setCheckable(true);
    QObject::connect(a, &QAction::triggered, [a, coastAction, &calc, tick] {
      calc.SetAsfFromCoastline(a == coastAction);
      tick();
    });
    view.AddWindowAction(a);
  }
  tick();
}

void Application::ShowChart(Frm_PosTDCalc& calc) {
  if (!chart_) chart_ = std::make_unique<ChartWindow>(calc, session_->StationCatalogue());
  chart_->show();
  chart_->raise();
  chart_->activateWindow();
}

void Application::Hide(Form& form) {
  if (FormView* view = View(form)) view->hide();
}

void Application::FrameClosed(Form& form) {
  session_->CloseByFrame(form);
  if (ended_) return;
  // Closing the last window ends the program even if nothing asked for it.
  for (const auto& v : views_) {
    if (v->isVisible()) return;
  }
  End();
}

void Application::End() {
  ended_ = true;
  for (const auto& v : views_) {
    v->SetEnding(true);
    v->hide();
  }
  if (chart_) chart_->hide();
  QCoreApplication::quit();
}

namespace {

const char kUsage[] =
    "Usage: kestrune [--help] [--version]\n"
    "Loran-C TD and position calculator. Opens the chain setup dialog; the setup\n"
    "is kept in Kestrune.ini in the working directory. F1 in a window shows help.\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Qt's messages while the application starts: a platform plugin that cannot
// start is a fatal message after which Qt aborts, so the program answers it
// with one line of its own and an ordinary failure code. Other messages wait
// and go to Qt's usual output once the start has succeeded.
QtMessageHandler g_previous_handler = nullptr;
std::vector<std::pair<QtMsgType, QString>> g_held;

void StartMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(
        "kestrune: cannot open a window: no Qt platform plugin could be started "
        "(is a display available?)\n",
        stderr);
    std::_Exit(1);
  }
  g_held.emplace_back(type, message);
}

void EndOfStart() {
  qInstallMessageHandler(g_previous_handler);
  for (const auto& [type, message] : g_held) {
    qt_message_output(type, QMessageLogContext(), message);
  }
  g_held.clear();
}

}  // namespace

int Run(int argc, char** argv) {
  bool platformNamed = false;  // Qt's own -platform option
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-platform") platformNamed = true;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("kestrune %s\n", ProgramVersion());
      return 0;
    }
  }
  if (!platformNamed && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs(
        "kestrune: no display to open the windows on (DISPLAY, WAYLAND_DISPLAY and "
        "QT_QPA_PLATFORM are not set)\n",
        stderr);
    return 1;
  }
  g_previous_handler = qInstallMessageHandler(StartMessages);
  QApplication qapp(argc, argv);
  EndOfStart();
  QApplication::setApplicationName(kAppTitle);
  QApplication::setApplicationVersion(ProgramVersion());
  QApplication::setQuitOnLastWindowClosed(false);
  AdoptSystemLocale();
  QtMessageBoxService boxes;
  SetMessageBoxService(&boxes);
  int code = 0;
  {
    Application app;
    app.Start();
    if (!app.Ended()) code = QApplication::exec();
  }
  SetMessageBoxService(nullptr);
  return code;
}

}  // namespace kestrune::app
