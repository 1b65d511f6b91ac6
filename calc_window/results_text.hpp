// The results of the calculation window as plain text for other programs: the
// tab-separated copy that goes to the clipboard, and the name a screen reader
// gives each result cell. Built from the labels' captions and visibility, so
// the text is what the window shows.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kestrune {

class Frm_PosTDCalc;
class Label;

// Every result the window shows, as lines of tab-separated cells ending in a
// line feed: the station table, the least-squares fix with its residuals, and
// the two-LOP fixes with their mean, each under its frame title and column
// headings, sections apart by an empty line. Runs of blanks in a caption
// become one blank, and blanks at either end go. Hidden rows are left out,
// and so is a section that no calculation has filled yet.
std::string ResultsText(const Frm_PosTDCalc& window);

// The result labels with the name each one gives a screen reader: the
// column heading and the row, as "Distance, 9007 W Jan Mayen",
// "Latitude, pair 1-2" or "Residual, LOP 2". The pairs of the combination
// rows follow the LOPs in use, so call this after the window has loaded.
std::vector<std::pair<const Label*, std::string>> ResultNames(const Frm_PosTDCalc& window);

}  // namespace kestrune
