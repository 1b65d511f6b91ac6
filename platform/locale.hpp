// The decimal separator of the user's locale, which every number pattern
// writes. Set once at start by the front end; tests set it directly.
#pragma once

namespace kestrune {

char DecimalSeparator();             // '.' until set
void SetDecimalSeparator(char sep);  // sep: '.' or ','

}  // namespace kestrune
