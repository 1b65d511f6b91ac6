// Chain catalogue files: chains with their stations and the dates each
// version of a chain was transmitted, as a plain text a user can read and
// write. The built-in catalogues (the NELS chains, and the historical
// chains they replaced) are kept in the same form.
//
//   # comment (also after the fields)
//   chain; <GRI>; <name>; <valid from>; <valid to>
//   station; <designator>; <name>; <latitude>; <longitude>; <emission delay us>
//
// Fields are separated by ";" with blanks around them ignored. A chain line
// opens a chain version; its station lines follow, the master ("M") first.
// Dates are YYYY-MM-DD, both ends included; "-" leaves an end open.
// Coordinates are WGS 84: a degree-minute-second text with its hemisphere
// letter, as the window's position fields take it ("62°17'59.837N",
// "62 17 59.837 N"), or signed decimal degrees with a point ("-7.0739108").
// Versions of one chain must not overlap in time.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "loran/catalogue.hpp"

namespace kestrune::loran {

using Date = std::chrono::year_month_day;

// One version of a chain: its stations, master first, and when it was on air.
struct ChainVersion {
  std::int16_t gri = 0;
  std::string name;               // e.g. "Norwegian Sea"
  std::optional<Date> validFrom;  // first day on air; none: since ever
  std::optional<Date> validTo;    // last day on air; none: still
  std::vector<Station> stations;  // master first; every station of this GRI
  bool ValidOn(Date date) const;
};

// A catalogue file read: its chain versions, or the first problem found with
// the line it stands on ("line 7: station X of chain 7970 comes twice").
struct CatalogueRead {
  std::vector<ChainVersion> chains;
  std::string error;  // empty when the text is sound
};

CatalogueRead ReadCatalogueText(const std::string& text);
// The file text of `chains`: reading it gives the same chains. Positions
// are written as decimal degrees of 17 significant digits, every bit of the
// double, so that a file written from the built-in chains converts a
// logbook digit for digit as they do (15 digits, 1e-12 rad, moved the
// meaningless GDOP of two LOPs sharing a secondary station).
std::string CatalogueText(const std::vector<ChainVersion>& chains);

// The catalogue a converter works with on `date`: every chain version valid
// on that day, in file order. Without a date, the versions still on air
// (open end) or, for a chain that has none, its latest version.
Catalogue SelectCatalogue(const std::vector<ChainVersion>& chains, std::optional<Date> date);

// "1994-12-31" as a date; none for a text that is not a valid date.
std::optional<Date> ParseDate(const std::string& text);
std::string DateText(Date date);

// The built-in catalogues as chain versions: the NELS chains the windows use,
// and the historical chains (6731 with Anthorn as its Y secondary, and 7970
// Norwegian Sea and 7930 North Atlantic until 31 December 1994), with their
// sources in the text.
const std::vector<ChainVersion>& BuiltInNels();
const std::vector<ChainVersion>& BuiltInHistorical();

}  // namespace kestrune::loran
