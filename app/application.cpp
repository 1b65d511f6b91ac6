#include "app/application.hpp"

#include <QApplication>
#include <QLocale>
#include <QShortcut>
#include <clocale>

#include "app/qt_message_box.hpp"
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
  chart_.reset();
  views_.clear();
  session_.reset();
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

int Run(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QApplication::setApplicationName(kAppTitle);
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
