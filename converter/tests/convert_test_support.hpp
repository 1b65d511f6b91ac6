// Running the converter in the test process and reading its CSV back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "converter/options.hpp"
#include "converter/row_reader.hpp"
#include "converter/run.hpp"
#include "loran/calibration.hpp"
#include "util/constants.hpp"

namespace kestrune::convert::testing {

using Row = std::map<std::string, std::string>;

// A position given in degrees.
inline loran::GeoPoint At(double latDeg, double lonDeg) {
  return {constants::Radians(latDeg), constants::Radians(lonDeg)};
}

// Metres from the fix of a converted row (columns fix_lat, fix_lon, in
// degrees) to a position in degrees.
inline double MetresFrom(const Row& row, double latDeg, double lonDeg) {
  return loran::DistanceMetres(At(std::stod(row.at("fix_lat")), std::stod(row.at("fix_lon"))),
                               At(latDeg, lonDeg));
}

struct Outcome {
  int code = 0;
  std::string out;
  std::string err;        // standard error
  std::vector<Row> rows;  // the CSV output, by column name
};

// Runs `args` (without a file: `input` is the standard input).
inline Outcome Convert(std::vector<std::string> args, const std::string& input) {
  const ParsedArguments parsed = ParseArguments(args);
  EXPECT_EQ(parsed.error, "");
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  std::FILE* file =
      parsed.options.input == "-" ? in : std::fopen(parsed.options.input.c_str(), "rb");
  Outcome o;
  o.code = Run(parsed.options, file, out, err);
  if (file != in) std::fclose(file);
  std::rewind(out);
  for (int c; (c = std::fgetc(out)) != EOF;) o.out += static_cast<char>(c);
  std::rewind(err);
  for (int c; (c = std::fgetc(err)) != EOF;) o.err += static_cast<char>(c);
  for (std::FILE* f : {in, out, err}) std::fclose(f);
  if (parsed.options.format != OutputFormat::kCsv ||
      parsed.options.command == Command::kCalibrate) {
    return o;
  }
  std::vector<std::string> header, fields;
  std::size_t start = 0;
  for (std::size_t end; (end = o.out.find('\n', start)) != std::string::npos; start = end + 1) {
    SplitFields(std::string_view(o.out).substr(start, end - start), ',', fields);
    if (header.empty()) {
      header = fields;
      continue;
    }
    auto& row = o.rows.emplace_back();
    for (std::size_t i = 0; i < fields.size() && i < header.size(); ++i) row[header[i]] = fields[i];
  }
  return o;
}

}  // namespace kestrune::convert::testing
