// The ASF model in the converter: the synthetic coastal logbook (seawater
// fixes hundreds of metres off, model fixes within metres), the columns it
// adds, the groundwave and asf commands, and the option errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "converter/asf_model.hpp"
#include "converter/asf_options.hpp"
#include "converter/tests/convert_test_support.hpp"

namespace kestrune::convert {
namespace {

using testing::Convert;

const std::string kSample = std::string(KESTRUNE_EXAMPLES_DIR) + "/asf-coast-log.csv";

double MedianError(const testing::Outcome& o) {
  std::vector<double> errors;
  for (const auto& r : o.rows) {
    errors.push_back(
        testing::MetresFrom(r, std::stod(r.at("true_lat")), std::stod(r.at("true_lon"))));
  }
  std::sort(errors.begin(), errors.end());
  return errors.empty() ? 1e9 : errors[errors.size() / 2];
}

TEST(AsfModel, SyntheticCoastalLogbookComesTrue) {
  auto fix = [](std::vector<std::string> args) {
    args.insert(args.end(), {"--lops", "9007W,9007X,9007Y,9007Z", "--near", "62.2", "5.4", "--keep",
                             "name,true_lat,true_lon", kSample});
    return Convert(args, "");
  };
  const testing::Outcome withoutModel = fix({"fix"});  // the default: no model
  const testing::Outcome withModel = fix({"fix", "--asf", "model"});
  ASSERT_EQ(withModel.code, 0) << withModel.err;
  ASSERT_EQ(withModel.rows.size(), 40u);
  // 297 m and 4.2 m when the sample was made.
  EXPECT_GT(MedianError(withoutModel), 200.0);
  EXPECT_LT(MedianError(withModel), 5.0);
  EXPECT_EQ(withoutModel.out.find("asf_us_"), std::string::npos);
  EXPECT_NE(withModel.rows[0].at("asf_us_9007Z"), "");
}

TEST(AsfModel, PredictAddsTheAsfAndShowsIt) {
  const std::string positions = "lat,lon\n62.3,5.6\n";
  const testing::Outcome sea = Convert({"predict", "--lops", "9007X,9007Y"}, positions);
  const testing::Outcome model =
      Convert({"predict", "--asf", "model", "--lops", "9007X,9007Y"}, positions);
  ASSERT_EQ(model.code, 0) << model.err;
  for (const std::string lop : {"9007X", "9007Y"}) {
    const double asf = std::stod(model.rows[0].at("asf_us_" + lop));
    EXPECT_NEAR(std::stod(model.rows[0].at("td_" + lop)) - std::stod(sea.rows[0].at("td_" + lop)),
                asf, 1.5e-3);
  }
}

TEST(AsfModel, ConductivityRegionsAndReach) {
  // A region of seawater constants over the whole area: no ASF anywhere.
  const std::string file = ::testing::TempDir() + "kestrune-all-sea.txt";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  std::fputs("# all sea\nregion 5 80\n55 -10\n72 -10\n72 30\n55 30\n", f);
  std::fclose(f);
  const testing::Outcome sea =
      Convert({"predict", "--asf", "model", "--conductivity", file, "--lops", "9007X,9007Y"},
              "lat,lon\n62.3,5.6\n");
  ASSERT_EQ(sea.code, 0) << sea.err;
  EXPECT_EQ(sea.rows[0].at("asf_us_9007X"), "0.000");
  EXPECT_EQ(sea.rows[0].at("asf_us_9007Y"), "0.000");
  // Pinned: a position beyond the curves was an internal error.
  const testing::Outcome far =
      Convert({"predict", "--asf", "model", "--lops", "9007X,9007Y"}, "lat,lon\n10,100\n");
  EXPECT_EQ(far.code, 1);
  EXPECT_EQ(far.rows[0].at("status"), "the position is beyond the ASF model's reach");
}

struct Captured {
  int code = 0;
  std::string out, err;
};

Captured RunCommand(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Captured c;
  c.code = RunModelCommand(args, out, err).value_or(-1);
  for (auto [file, text] : {std::pair{out, &c.out}, {err, &c.err}}) {
    std::rewind(file);
    for (int ch; (ch = std::fgetc(file)) != EOF;) *text += static_cast<char>(ch);
    std::fclose(file);
  }
  return c;
}

TEST(AsfModel, GroundwaveCommandNamesItsParameters) {
  const Captured c =
      RunCommand({"groundwave", "--sigma", "5", "--epsilon", "80", "--km", "100,1000"});
  ASSERT_EQ(c.code, 0) << c.err;
  EXPECT_NE(c.out.find("# smooth homogeneous earth: sigma 5 S/m epsilon 80, frequency 100000 Hz, "
                       "effective earth radius 7918000 m, refractive index 1.000338;"),
            std::string::npos);
  EXPECT_NE(c.out.find("km,method,secondary_phase_us,field_dbuvm,attenuation_db\n"
                       "100,flat-earth,0.1022,69.188,-0.351\n"
                       "1000,residue-series,1.7724,38.881,-10.658\n"),
            std::string::npos)
      << c.out;
  EXPECT_EQ(RunCommand({"groundwave", "--sigma", "0", "--epsilon", "80", "--km", "1"}).code, 2);
  EXPECT_EQ(RunCommand({"groundwave", "--sigma", "5", "--epsilon", "80", "--km", "1,x"}).err,
            "kestrune-convert: --km takes distances above 0, at most 20000\n");
  EXPECT_FALSE(RunModelCommand({"fix"}, stdout, stderr).has_value());
}

TEST(AsfModel, AsfCommandGivesSectionsAndTheirAsf) {
  const Captured c = RunCommand({"asf", "--station", "9007Y", "--at", "62.3", "5.6"});
  ASSERT_EQ(c.code, 0) << c.err;
  EXPECT_NE(c.out.find("sample step 1000 m, boundaries to 15.625 m"), std::string::npos);
  EXPECT_NE(c.out.find("\nsection,from_km,to_km,ground,sigma,epsilon\n1,0.000,"),
            std::string::npos);
  EXPECT_NE(c.out.find("\npath_km,mixed_phase_us,sea_phase_us,asf_us\n"), std::string::npos);
  EXPECT_EQ(RunCommand({"asf", "--station", "9007Q", "--at", "62", "5"}).err,
            "kestrune-convert: --station '9007Q' is no NELS station (such as 9007M, 9007X)\n");
}

TEST(AsfModel, OptionMistakesAreOneLine) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--asf", "maybe"}, "--asf must be model or none, not 'maybe'"},
      {{"--asf"}, "option --asf needs a value"},
      {{"--asf", "model", "--land-sigma", "0"},
       "--land-sigma must be S/m above 0, at most 100, not '0'"},
      {{"--asf", "model", "--land-epsilon", "200"},
       "--land-epsilon must be a relative permittivity from 1 to 100, not '200'"},
      {{"--conductivity", "x.txt"},
       "--conductivity, --land-sigma and --land-epsilon go with --asf model"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    AsfOptions options;
    EXPECT_EQ(TakeAsfOptions(args, options), c.error);
  }
  std::vector<std::string> args = {"fix", "--asf", "model", "--land-sigma", "0.01", "log.csv"};
  AsfOptions options;
  EXPECT_EQ(TakeAsfOptions(args, options), "");
  EXPECT_EQ(args, (std::vector<std::string>{"fix", "log.csv"}));
  EXPECT_TRUE(options.model);
  EXPECT_EQ(options.landSigma, 0.01);
}

}  // namespace
}  // namespace kestrune::convert
