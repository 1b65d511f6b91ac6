// The chart of a conversion's fixes. Drawing needs Qt Gui, which
// kestrune-convert does without, so a companion program, kestrune-chart,
// draws it: the fixes go to a temporary file as rows are converted (memory
// does not grow with the rows), and kestrune-chart reads it at the end.
#pragma once

#include <cstdio>
#include <string>

namespace kestrune::convert {

class ChartFile {
 public:
  // path: the chart to write, ending in .svg, .png or .pdf; input: the
  // logbook's file name ("-" for standard input), for the title. Throws
  // UsageError for another ending, when kestrune-chart is neither beside
  // this program nor on PATH, or when the temporary file cannot be made.
  ChartFile(std::string path, const std::string& input);
  ~ChartFile();  // removes the temporary file
  ChartFile(const ChartFile&) = delete;
  ChartFile& operator=(const ChartFile&) = delete;

  // A fix as kestrune-chart reads it: "lat,lon,label", decimal degrees on
  // WGS 84 (the coastline's datum), the label the rest of the line.
  static std::string Line(double latDeg, double lonDeg, const std::string& label);
  // Appends a line from Line(); an empty one is no fix.
  void Add(const std::string& line);
  // Runs kestrune-chart on the fixes; what went wrong as one line, or empty.
  std::string Draw();

 private:
  std::string program_;  // kestrune-chart
  std::string path_;
  std::string title_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  long fixes_ = 0;
  bool failed_ = false;  // a write to the temporary file failed
};

}  // namespace kestrune::convert
