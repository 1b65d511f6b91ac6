// The chart of a conversion's fixes. Drawing needs Qt Gui, which
// kestrune-convert does without, so a companion program, kestrune-chart,
// draws it: the fixes go to a temporary file as rows are converted (memory
// does not grow with the rows), and kestrune-chart reads it at the end.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/files.hpp"

namespace kestrune::convert {

class ChartFile {
 public:
  // path: the chart to write, ending in .svg, .png or .pdf; input: the
  // logbook's file name ("-" for standard input), for the title. Throws
  // UsageError for another ending, when kestrune-chart is neither beside
  // this program nor on PATH, or when the chart's temporary beside it or the
  // temporary file of the fixes cannot be made (a missing folder is found
  // before the first row, not after the last).
  ChartFile(std::string path, const std::string& input);
  ~ChartFile();  // removes the temporary files
  ChartFile(const ChartFile&) = delete;
  ChartFile& operator=(const ChartFile&) = delete;

  // A fix as kestrune-chart reads it: "lat,lon,label", decimal degrees on
  // WGS 84 (the coastline's datum), the label the rest of the line.
  static std::string Line(double latDeg, double lonDeg, const std::string& label);
  // Appends a line from Line(); an empty one is no fix.
  void Add(const std::string& line);
  // Runs kestrune-chart on the fixes into the chart's temporary and renames
  // it over the chart; what went wrong as one line, or empty.
  std::string Draw();

 private:
  std::string program_;  // kestrune-chart
  std::string path_;
  std::string title_;
  std::optional<files::AtomicFile> chart_;  // the chart, written whole
  std::string temp_;
  int tempHandle_ = -1;  // temp_ in the table of files removed on a signal
  std::FILE* file_ = nullptr;
  long fixes_ = 0;
  bool failed_ = false;  // a write to the temporary file failed
};

}  // namespace kestrune::convert
