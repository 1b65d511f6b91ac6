// Helpers shared by the fuzz targets: a message-box service that counts, and
// a check that aborts with a readable reason (libFuzzer then keeps the input).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message_box.hpp"

namespace kestrune::fuzz {

[[noreturn]] inline void Fail(const std::string& why) {
  std::fprintf(stderr, "property violated: %s\n", why.c_str());
  std::abort();
}

inline void Check(bool ok, const std::string& why) {
  if (!ok) Fail(why);
}

}  // namespace kestrune::fuzz
