// Logbooks as spreadsheets save them: Windows-1252, Latin-1 and UTF-16
// text with title lines above the header, decimal commas and no-break
// spaces between the thousands; the same conversion, in UTF-8, whichever
// encoding the file came in. Then the header's line in the messages,
// duplicate names, rows of delimiters, repeated options and JSON key order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "converter/tests/convert_test_support.hpp"
#include "util/text_codec.hpp"

namespace kestrune::convert {
namespace {

using testing::Convert;

const std::vector<std::string> kLops = {"fix", "-q", "--lops", "9007W,9007X,9007Y"};

std::vector<std::string> With(std::vector<std::string> more) {
  std::vector<std::string> args = kLops;
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

// The Norwegian logbook: a title line, ";" between the fields, decimal
// commas, no-break spaces between the thousands. Latin-1 code points only,
// so that each encoding below can be written from it byte by byte.
const std::u16string kLogbook =
    u"Logg for B\u00F8mlo 1987\r\n"
    u"navn;9007W;9007X;9007Y;merknad\r\n"
    u"B\u00F8mlo;15\u00A0768,5;28\u00A0886,6;40\u00A0094,4;Vrak ved \u00C5lesund, 12\u00B0\r\n"
    u"Skj\u00E6r;15768,5;28886,6;40094,4;\r\n";

std::string Bytes(const std::u16string& text, bool utf16, bool bigEndian) {
  std::string out;
  for (char16_t c : text) {
    const auto low = static_cast<char>(c & 0xFF);
    const auto high = static_cast<char>(c >> 8);
    if (!utf16) {
      out += low;
    } else {
      out += bigEndian ? high : low;
      out += bigEndian ? low : high;
    }
  }
  return out;
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TEST(Encodings, EverySpreadsheetEncodingGivesTheSameUtf8Output) {
  const std::string latin1 = Bytes(kLogbook, false, false);
  const std::string le = Bytes(kLogbook, true, false);
  const std::string be = Bytes(kLogbook, true, true);
  const std::string utf8 = Utf8(kLogbook);
  const testing::Outcome base = Convert(With({"--skip-lines", "1"}), utf8);
  ASSERT_EQ(base.code, 0) << base.err;
  ASSERT_EQ(base.rows.size(), 2u);
  EXPECT_EQ(base.rows[0].at("navn"), "B\xC3\xB8mlo");
  EXPECT_EQ(base.rows[0].at("9007W"),
            "15\xC2\xA0"
            "768,5");
  EXPECT_EQ(base.rows[0].at("merknad"), "Vrak ved \xC3\x85lesund, 12\xC2\xB0");
  EXPECT_EQ(base.rows[0].at("status"), "ok");
  EXPECT_EQ(base.rows[0].at("fix_lat_text"), base.rows[1].at("fix_lat_text"));
  EXPECT_EQ(base.rows[1].at("line"), "4");

  struct Case {
    const char* encoding;  // nullptr: none given
    std::string input;
  };
  const Case cases[] = {
      {"cp1252", latin1},          // each name of an encoding: text_codec's tests
      {nullptr, "\xFF\xFE" + le},  // a byte order mark says UTF-16
      {"utf-16", "\xFF\xFE" + le},
      {"utf-16", "\xFE\xFF" + be},
      {"utf-16", le},
      {"utf-16le", le},
      {"utf-16be", be},
      {"cp1252", "\xEF\xBB\xBF" + utf8},  // the mark decides over the option
      {"utf-8", utf8},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = With({"--skip-lines", "1"});
    if (c.encoding) args.insert(args.end(), {"--encoding", c.encoding});
    const testing::Outcome o = Convert(args, c.input);
    EXPECT_EQ(o.code, 0) << (c.encoding ? c.encoding : "none") << ": " << o.err;
    EXPECT_EQ(o.out, base.out) << (c.encoding ? c.encoding : "none");
  }

  // The map formats of the Windows file are UTF-8 with the names intact.
  for (const char* format : {"gpx", "kml", "geojson"}) {
    const testing::Outcome m = Convert(With({"--skip-lines", "1", "--encoding", "cp1252",
                                             "--name-col", "navn", "--format", format}),
                                       latin1);
    EXPECT_EQ(text_codec::FirstNonUtf8(m.out), std::string::npos) << format;
    EXPECT_NE(m.out.find("B\xC3\xB8mlo"), std::string::npos) << format;
    EXPECT_NE(m.out.find("Skj\xC3\xA6r"), std::string::npos) << format;
  }
}

TEST(Encodings, BytesThatAreNotUtf8AreNamedWithTheOption) {
  // Found in the first lines: refused before anything is written.
  const testing::Outcome whole = Convert(kLops, Bytes(kLogbook, false, false));
  EXPECT_EQ(whole.code, kUsageOrInputError);
  EXPECT_EQ(whole.out, "");
  EXPECT_EQ(whole.err,
            "kestrune-convert: the input is not UTF-8 text (line 1 has the byte 0xF8): give its "
            "encoding, such as --encoding cp1252 for a CSV a Windows spreadsheet saved\n");

  // Far into the file: that row's status says it, its text passed through
  // as UTF-8, the rows around it converted.
  std::string input = "name,td1,td2,td3\n";
  constexpr int kRows = 3000;  // past what is read ahead of the first row
  for (int i = 0; i < kRows; ++i) input += "row,15768.5,28886.6,40094.4\n";
  input += "n\xE9ve,15768.5,28886.6,40094.4\nlast,15768.5,28886.6,40094.4\n";
  const testing::Outcome late = Convert(kLops, input);
  EXPECT_EQ(late.code, kSomeRowFailed);
  ASSERT_EQ(late.rows.size(), kRows + 2u);
  EXPECT_EQ(late.rows[kRows].at("status"),
            "not UTF-8 text (byte 0xE9): give the file's encoding, such as --encoding cp1252");
  EXPECT_EQ(late.rows[kRows].at("name"), "n\xC3\xA9ve");
  EXPECT_EQ(late.rows[kRows + 1].at("status"), "ok");
  EXPECT_EQ(text_codec::FirstNonUtf8(late.out), std::string::npos);

  // UTF-16 without its byte order mark: NUL bytes in every other place.
  const testing::Outcome nul = Convert(kLops, Bytes(kLogbook, true, false));
  EXPECT_EQ(nul.code, kUsageOrInputError);
  EXPECT_EQ(nul.err,
            "kestrune-convert: the input is not UTF-8 text (line 1 has the byte 0x00): give its "
            "encoding, such as --encoding utf-16 for a spreadsheet's Unicode text\n");

  // JSON lines in Latin-1.
  const std::string json = "{\"name\":\"B\xF8mlo\",\"td\":[15768.5,28886.6,40094.4]}\n";
  const testing::Outcome j = Convert(With({"--jsonl", "--encoding", "latin1"}), json);
  EXPECT_EQ(j.code, 0) << j.err;
  EXPECT_EQ(nlohmann::json::parse(j.out)["name"], "B\xC3\xB8mlo");
  // Without the option: the answer to that line says it.
  const testing::Outcome bad = Convert(With({"--jsonl"}), json);
  EXPECT_EQ(bad.code, kSomeRowFailed);
  EXPECT_EQ(nlohmann::json::parse(bad.out)["status"],
            "not UTF-8 text (byte 0xF8): give the file's encoding, such as --encoding cp1252");
}

// A field quoted in a status is cut to 40 bytes: before a character, never
// inside one.
TEST(Encodings, AQuotedFieldIsCutBetweenCharacters) {
  std::string td = "a";
  for (int i = 0; i < 30; ++i) td += "\xC3\xB8";
  const testing::Outcome o =
      Convert({"fix", "-q", "--lops", "9007X,9007Y"}, "td1,td2\n" + td + ",1\n");
  ASSERT_EQ(o.rows.size(), 1u);
  EXPECT_EQ(o.rows[0].at("status"), "TD 1 unreadable: '" + td.substr(0, 39) + "...'");
  EXPECT_EQ(text_codec::FirstNonUtf8(o.out), std::string::npos);
}

TEST(TitleLines, SkippedAndTheHeaderLineNamedWhenAColumnIsMissing) {
  const std::string note = " was taken as the header; --skip-lines skips title lines above it)";
  struct Case {
    std::vector<std::string> more;
    std::string input;
    std::string err;  // empty: converted
  };
  const Case cases[] = {
      {{},
       "Logg\nname;td1;td2;td3\n15768,5;28886,6;40094,4\n",
       "cannot find the TD column of LOP 1: name it 9007W or td1 in the header, or give "
       "--td-cols (line 1" +
           note},
      {{"--skip-lines", "1"},
       "Logg\nname;a;b;c\nx;15768,5;28886,6;40094,4\n",
       "cannot find the TD column of LOP 1: name it 9007W or td1 in the header, or give "
       "--td-cols (line 2" +
           note},
      {{"--skip-lines", "2", "--td-cols", "b,c,tdx"},
       "Logg\n\nname;a;b;c\nx;15768,5;28886,6;40094,4\n",
       "no column named 'tdx' (TD) (line 3" + note},
      {{"--skip-lines", "1"}, "Logg\nname;td1;td2;td3\nx;15768,5;28886,6;40094,4\n", ""},
  };
  for (const Case& c : cases) {
    const testing::Outcome o = Convert(With(c.more), c.input);
    if (c.err.empty()) {
      EXPECT_EQ(o.code, 0) << o.err;
      ASSERT_EQ(o.rows.size(), 1u);
      EXPECT_EQ(o.rows[0].at("line"), "3");
    } else {
      EXPECT_EQ(o.code, kUsageOrInputError);
      EXPECT_EQ(o.err, "kestrune-convert: " + c.err + "\n");
    }
  }
}

TEST(Columns, ANameTwoColumnsBearIsRefused) {
  const std::string input = "td1;TD1;td2;td3\n1;15768,5;28886,6;40094,4\n";
  const testing::Outcome o = Convert(kLops, input);
  EXPECT_EQ(o.code, kUsageOrInputError);
  EXPECT_EQ(o.err,
            "kestrune-convert: the header (line 1) names two columns 'TD1', 1 and 2: rename one, "
            "or give the column by its number\n");
  EXPECT_EQ(Convert(With({"--td-cols", "2,3,4"}), input).code, 0);

  // Passed through, duplicates stay in CSV as they came; GeoJSON, keyed by
  // name, tells them apart.
  const std::string notes = "td1;td2;td3;note;note;status\n15768,5;28886,6;40094,4;a;b;c\n";
  const testing::Outcome csv = Convert(kLops, notes);
  EXPECT_TRUE(csv.out.starts_with("line,td1,td2,td3,note,note,status,fix_lat,")) << csv.out;
  const testing::Outcome geo = Convert(With({"--format", "geojson"}), notes);
  const auto properties = nlohmann::json::parse(geo.out)["features"][0]["properties"];
  EXPECT_EQ(properties["note"], "a");
  EXPECT_EQ(properties["note_2"], "b");
  EXPECT_EQ(properties["status_2"], "c");
  EXPECT_EQ(properties["status"], "ok");

  const testing::Outcome j =
      Convert(With({"--jsonl"}), "{\"td1\":1,\"td\":[15768.5,28886.6,40094.4]}\n");
  EXPECT_EQ(j.code, kSomeRowFailed);
  EXPECT_EQ(nlohmann::json::parse(j.out)["status"],
            "key 'td1' given twice (an array \"a\" gives the keys a1, a2, ...)");
}

TEST(EmptyRows, ARowOfDelimitersIsAnEmptyLine) {
  const testing::Outcome o =
      Convert(kLops, ";;;\nname;td1;td2;td3\n;;;\r\n ; ;\t;\nx;15768,5;28886,6;40094,4\n,,,\n");
  ASSERT_EQ(o.rows.size(), 5u);
  const char* const statuses[] = {"empty line", "empty line", "empty line", "ok",
                                  "1 fields, expected 4"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(o.rows[i].at("status"), statuses[i]) << i;
  EXPECT_EQ(o.rows[3].at("name"), "x");  // the header was found below the empty row
  EXPECT_EQ(Convert(kLops, "td1,td2,td3\n,,,\n").rows.at(0).at("status"), "empty line");
}

TEST(Arguments, RepeatedOptionsAreRefusedAndTwoDashesEndTheOptions) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
    std::string input;  // when accepted
  };
  const Case cases[] = {
      {{"fix", "--lops", "9007W,9007X", "--lops", "9007X,9007Y"}, "option --lops given twice", ""},
      {{"fix", "-o", "a.csv", "--output", "b.csv"}, "options -o and --output given together", ""},
      {{"fix", "--header", "--no-header"}, "options --header and --no-header given together", ""},
      {{"fix", "-q", "-q"}, "option -q given twice", ""},
      {{"fix", "--offset", "9007X=1", "--offset", "9007Y=2"}, "", "-"},
      {{"fix", "--", "-log.csv"}, "", "-log.csv"},
      {{"fix", "-q", "--", "--lops"}, "", "--lops"},
      {{"fix", "--", "a.csv", "b.csv"}, "more than one input file: 'a.csv' and 'b.csv'", ""},
      {{"fix", "--encoding", "ebcdic"},
       "--encoding must be utf-8, cp1252 (windows-1252), latin1 (iso-8859-1), utf-16, utf-16le "
       "or utf-16be, not 'ebcdic'",
       ""},
      {{"fix", "--skip-lines", "-1"}, "--skip-lines must be a count of lines from 0, not '-1'", ""},
      {{"fix", "--skip-lines", "2x"}, "--skip-lines must be a count of lines from 0, not '2x'", ""},
  };
  for (const Case& c : cases) {
    const ParsedArguments p = ParseArguments(c.args);
    EXPECT_EQ(p.error, c.error) << c.args.back();
    if (c.error.empty()) {
      EXPECT_EQ(p.options.input, c.input) << c.args.back();
    }
  }
}

TEST(JsonLines, TheOutputKeepsTheInputsKeysInTheirOrderAndNumbersAsWritten) {
  const testing::Outcome j = Convert(
      With({"--jsonl"}),
      "{\"zone\":\"B\", \"name\" : \"caf\\u00e9 \\ud83d\\ude00\",\"td\":[15768.50, 28886.6, "
      "40094.4],\"id\":12345678901234567890,\"o\":{\"a\": [1, \"x y\"]},\"n\":null}\n");
  EXPECT_EQ(j.code, 0) << j.err;
  EXPECT_TRUE(j.out.starts_with(
      "{\"line\":1,\"zone\":\"B\",\"name\":\"caf\\u00e9 \\ud83d\\ude00\",\"td1\":15768.50,"
      "\"td2\":28886.6,\"td3\":40094.4,\"id\":12345678901234567890,\"o\":{\"a\":[1,\"x y\"]},"
      "\"n\":null,\"fix_lat\":"))
      << j.out;
  const testing::Outcome named =
      Convert(With({"--jsonl", "--name-col", "name", "--keep", "name"}),
              "{\"name\":\"caf\\u00e9 \\ud83d\\ude00\",\"td\":[15768.5,28886.6,40094.4]}\n");
  EXPECT_EQ(nlohmann::json::parse(named.out)["name"], "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace kestrune::convert
