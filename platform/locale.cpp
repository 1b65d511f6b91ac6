#include "platform/locale.hpp"

namespace kestrune {

namespace {
char g_separator = '.';
}

char DecimalSeparator() {
  return g_separator;
}
void SetDecimalSeparator(char sep) {
  g_separator = sep;
}

}  // namespace kestrune
