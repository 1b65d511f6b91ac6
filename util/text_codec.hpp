// UTF-8 text as code points, so that characters such as "°" and "ø" count as
// one character each.
#pragma once

#include <string>

namespace kestrune::text_codec {

// Code points of a UTF-8 text; a byte that does not begin a well-formed
// sequence stands for itself as a Latin-1 character (U+0080 to U+00FF).
std::u32string Decode(const std::string& utf8);

// The UTF-8 text of code points (each below U+110000).
std::string Encode(const std::u32string& text);

}  // namespace kestrune::text_codec
