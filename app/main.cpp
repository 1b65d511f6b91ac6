#include "app/application.hpp"

int main(int argc, char** argv) {
  return kestrune::app::Run(argc, argv);
}
