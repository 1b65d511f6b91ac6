// Texts the programs write out: numbers that are always a whole number text,
// and input echoed back in messages, printable and of a readable length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrune::text {

// `value` with `decimals` digits after the point (0 to 17; the C library's
// locale plays no part): "63.20007034". A value of 1e15 or more in size,
// whose fixed form would run to hundreds of digits and show no more than
// its shortest form, is written in that form ("1e+308"); a value that is not
// finite gives an empty text (no value). Never anything else: every text is
// a number a CSV, JSON or XML reader takes.
std::string FixedText(double value, int decimals);

// `text` as a message may quote it: every byte that is not printable UTF-8
// (control characters, DEL, C1 controls, bytes outside a well-formed
// sequence) as "\xNN", cut at a character boundary to at most maxBytes of
// the input with "..." after it.
std::string EchoText(std::string_view text, std::size_t maxBytes);

// True when `text` is well-formed UTF-8 without control characters, as
// EchoText writes it.
bool IsPrintable(std::string_view text);

}  // namespace kestrune::text
