#include "app/application.hpp"

#include <QApplication>
#include <QLabel>

namespace kestrune::app {

int Run(int argc, char** argv) {
  QApplication qapp(argc, argv);
  QLabel placeholder("Kestrune");
  placeholder.setWindowTitle("     KESTRUNE");
  placeholder.show();
  return qapp.exec();
}

}  // namespace kestrune::app
