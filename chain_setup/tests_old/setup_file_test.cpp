// The setup file: its exact text, tolerant reading, the restored dialog, and
// the damaged, unreadable and unwritable files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "calc_window/tests/test_support.hpp"
#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/global_module.hpp"
#include "chain_setup/setup_file.hpp"
#include "platform/locale.hpp"
#include "util/constants.hpp"

namespace kestrune {
namespace {

using Global_Module::EstLat;
using Global_Module::EstLon;
using Global_Module::LopTable;
using Global_Module::NoOfLops;
using testing_support::ReadFile;
using testing_support::WriteFile;

class SetupFileTest : public testing_support::ModelTest {
 protected:
  // The dialog at program start, reading whatever file the test put here.
  Frm_LoranSetup& Load() {
    RunEventHandler([this] { form_.Form_Load(); });
    return form_;
  }
  // The state of a run that found no usable file.
  void ExpectDefaults() {
    EXPECT_EQ(form_.cmbNoOfLops.ListIndex(), 1);
    for (int i = 1; i <= 7; ++i) {
      EXPECT_EQ(form_.cmbMaster(i).ListIndex(), -1) << i;
      EXPECT_EQ(form_.cmbSecondary(i).ListIndex(), -1) << i;
      EXPECT_EQ(form_.cmbMaster(i).Visible(), i <= 3) << i;
      EXPECT_EQ(LopTable(i).Weight, 1.0f) << i;
      EXPECT_EQ(LopTable(i).ObservedTd, 0.0) << i;
      EXPECT_EQ(LopTable(i).MasterIndex, 0) << i;
      EXPECT_EQ(LopTable(i).SecondaryIndex, 0) << i;
    }
    EXPECT_EQ(NoOfLops, 0);
    EXPECT_EQ(EstLat, 0.0);
    EXPECT_EQ(EstLon, 0.0);
  }
  Frm_LoranSetup form_;
};

TEST_F(SetupFileTest, WritesTheExampleTextWithPeriodsShortestFormAndCrLf) {
  EstLat = 62.5 * constants::kPi / 180.0;
  EstLon = 5.0 * constants::kPi / 180.0;
  NoOfLops = 3;
  LopTable(1) = {0, 1, 14523.456, 1.0f};
  LopTable(2) = {0, 2, 28456.789, 1.0f};
  LopTable(3) = {0, 3, 41234.567, 0.5f};
  LopTable(4) = {11, 12, 99.0, 0.25f};  // above the count: not written
  const std::string expected =
      "1.09083078249653,0.0872664625997222\r\n"
      "3\r\n"
      "0,1,14523.456,1\r\n"
      "0,2,28456.789,1\r\n"
      "0,3,41234.567,0.5\r\n";
  EXPECT_EQ(Global_Module::SetupFileText(), expected);

  // The locale's separator does not reach the file.
  SetDecimalSeparator(',');
  ASSERT_TRUE(WriteSetupFile());
  EXPECT_EQ(ReadFile("Kestrune.ini"), expected);
  EXPECT_FALSE(std::filesystem::exists("Kestrune.ini.tmp"));
  EXPECT_TRUE(Texts().empty());
}

TEST_F(SetupFileTest, FieldsKeepFifteenAndSevenDigits) {
  EstLat = -0.1;
  EstLon = 1.0 / 3.0;
  NoOfLops = 2;
  LopTable(1) = {8, 10, 27075.157000000003, 0.75f};
  LopTable(2) = {5, 7, 1e-5, 1.0f / 3.0f};
  EXPECT_EQ(Global_Module::SetupFileText(),
            "-0.1,0.333333333333333\r\n2\r\n8,10,27075.157,0.75\r\n5,7,1e-05,0.3333333\r\n");
}

TEST_F(SetupFileTest, ReadsTolerantForms) {
  const struct {
    const char* name;
    const char* text;
  } cases[] = {
      {"leading zeros and CR LF", "0.5,-0.125\r\n2\r\n0,1,14200.5,1\r\n11,14,42100,0.25\r\n"},
      {"no leading zeros, LF", ".5,-.125\n2\n0,1,14200.5,1\n11,14,42100,.25\n"},
      {"exponents and blanks",
       " 5e-1 , -1.25E-1 \n 2 \n0, 1 ,1.42005e4,1\n11,14, 4.21e4 ,2.5e-1\n"},
      {"plus signs, blank lines after", "+0.5,-0.125\n+2\n0,1,14200.5,+1\n11,14,42100,0.25\n\n\n"},
      {"extra lines after the LOPs", "0.5,-0.125\n2\n0,1,14200.5,1\n11,14,42100,0.25\n0,2,1,1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Global_Module::SetupData d;
    ASSERT_EQ(Global_Module::ParseSetupText(c.text, d), "");
    EXPECT_EQ(d.EstLat, 0.5);
    EXPECT_EQ(d.EstLon, -0.125);
    EXPECT_EQ(d.NoOfLops, 2);
    EXPECT_EQ(d.Lops[1].MasterIndex, 0);
    EXPECT_EQ(d.Lops[1].SecondaryIndex, 1);
    EXPECT_EQ(d.Lops[1].ObservedTd, 14200.5);
    EXPECT_EQ(d.Lops[1].Weight, 1.0f);
    EXPECT_EQ(d.Lops[2].MasterIndex, 11);
    EXPECT_EQ(d.Lops[2].SecondaryIndex, 14);
    EXPECT_EQ(d.Lops[2].ObservedTd, 42100.0);
    EXPECT_EQ(d.Lops[2].Weight, 0.25f);
  }
}

// The weight is checked only against the 32-bit range: a weight outside 0
// to 1 loads as written (the calculation window's rule applies when its
// field is left).
TEST_F(SetupFileTest, KeepsAWeightOutsideZeroToOneAsWritten) {
  const struct {
    const char* weight;
    float loaded;
  } cases[] = {{"2", 2.0f}, {"-0.5", -0.5f}, {"1e-50", 0.0f}, {"3e38", 3e38f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weight);
    Global_Module::SetupData d;
    const std::string text = std::string("0.5,-0.125\n2\n0,1,14200.5,") + c.weight + "\n0,2,1,1\n";
    ASSERT_EQ(Global_Module::ParseSetupText(text, d), "");
    EXPECT_EQ(d.Lops[1].Weight, c.loaded);
  }
}

TEST_F(SetupFileTest, RestoresTheGlobalsAndTheDialog) {
  WriteFile("Kestrune.ini",
            "1.09083078249653,0.0872664625997222\r\n3\r\n5,7,31003.865,1\r\n11,12,13000,0.5\r\n"
            "11,14,42100.25,0\r\n");
  Frm_LoranSetup& f = Load();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(EstLat, 1.09083078249653);
  EXPECT_EQ(EstLon, 0.0872664625997222);
  EXPECT_EQ(NoOfLops, 3);
  EXPECT_EQ(f.cmbNoOfLops.Text(), "3");
  const int positions[][2] = {{1, 5}, {3, 8}, {3, 10}};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(f.cmbMaster(i).ListIndex(), positions[i - 1][0]) << i;
    EXPECT_EQ(f.cmbSecondary(i).ListIndex(), positions[i - 1][1]) << i;
  }
  EXPECT_EQ(LopTable(2).ObservedTd, 13000.0);
  EXPECT_EQ(LopTable(2).Weight, 0.5f);
  EXPECT_EQ(LopTable(3).Weight, 0.0f);
  for (int i = 4; i <= 7; ++i) {
    EXPECT_EQ(LopTable(i).Weight, 0.0f) << "LOPs above the count keep their zero start values";
    EXPECT_EQ(f.cmbMaster(i).Visible(), false);
  }
  // Accepted unchanged, the file's choice becomes the run's.
  f.cmdAccept.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(LopTable(3).MasterIndex, 11);
  EXPECT_EQ(LopTable(3).SecondaryIndex, 14);
}

TEST_F(SetupFileTest, DamagedFileIsReportedOnceAndTheDefaultsApply) {
  const std::string pos = "1.09,0.087\r\n";
  const struct {
    std::string text;
    std::string problem;
  } cases[] = {
      {"", "line 1: the estimated position is missing"},
      {"1.09\r\n3\r\n", "line 1: 2 numbers expected, 1 found"},
      {"1.09,abc\r\n", "line 1: \"abc\" is not a number"},
      {"1.09,0.087,1\r\n", "line 1: 2 numbers expected, 3 found"},
      {"nan,0\r\n2\r\n", "line 1: \"nan\" is not a finite number"},
      {"1e999,0\r\n2\r\n", "line 1: \"1e999\" is not a finite number"},
      {"1.6,0\r\n2\r\n", "line 1: the estimated position is out of range"},
      {"0,-3.2\r\n2\r\n", "line 1: the estimated position is out of range"},
      {pos, "line 2: the number of LOPs is missing"},
      {pos + "7\r\n", "line 2: the number of LOPs is not 2 to 6"},
      {pos + "1\r\n0,1,0,1\r\n", "line 2: the number of LOPs is not 2 to 6"},
      {pos + "-3\r\n", "line 2: the number of LOPs is not 2 to 6"},
      {pos + "99999\r\n", "line 2: \"99999\" is not a whole number"},
      {pos + "2.5\r\n", "line 2: \"2.5\" is not a whole number"},
      {pos + "x\r\n", "line 2: \"x\" is not a number"},
      {pos + "2\r\n0,1,14200,1\r\n", "line 4: LOP 2 is missing"},
      {pos + "2\r\n0,1,14200,1\r\n0,2,28000\r\n", "line 4: 4 numbers expected, 3 found"},
      {pos + "2\r\n0,1,14200,1\r\n0,,28000,1\r\n", "line 4: a field is empty"},
      {pos + "2\r\n0,15,14200,1\r\n0,2,28000,1\r\n",
       "line 3: stations 0 and 15 are not a master and a secondary of one chain"},
      {pos + "2\r\n0,1,14200,1\r\n3,4,28000,1\r\n",
       "line 4: stations 3 and 4 are not a master and a secondary of one chain"},
      {pos + "2\r\n0,1,14200,1\r\n5,2,28000,1\r\n",
       "line 4: stations 5 and 2 are not a master and a secondary of one chain"},
      {pos + "2\r\n-1,1,14200,1\r\n0,2,28000,1\r\n",
       "line 3: stations -1 and 1 are not a master and a secondary of one chain"},
      {pos + "2\r\n0,1,inf,1\r\n0,2,28000,1\r\n", "line 3: \"inf\" is not a finite number"},
      {pos + "2\r\n0,1,14200,1e39\r\n0,2,28000,1\r\n", "line 3: the weight is out of range"},
      {pos + "2\r\n0,1,14200,1;\r\n0,2,28000,1\r\n", "line 3: \"1;\" is not a number"},
      {"1,09,0,087\r\n2\r\n", "line 1: 2 numbers expected, 4 found"},
      {pos + "2,3\r\n", "line 2: 1 number expected, 2 found"},
      {pos + "2\r\n0,1,14200,1,5\r\n0,2,28000,1\r\n", "line 3: 4 numbers expected, 5 found"},
      {pos + "2\r\n0,1.5,14200,1\r\n0,2,28000,1\r\n", "line 3: \"1.5\" is not a whole number"},
      {pos + "2\r\n0,1,14200,1\r\n0,2,28000,abc\r\n", "line 4: \"abc\" is not a number"},
      {pos + "2\r\n0,1,14200,1\r\n\r\n0,2,28000,1\r\n", "line 4: 4 numbers expected, 1 found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    Global_Module::ResetGlobals();
    Boxes().boxes.clear();
    WriteFile("Kestrune.ini", c.text);
    Frm_LoranSetup form;
    RunEventHandler([&form] { form.Form_Load(); });
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0],
              "SetupState file Kestrune.ini is damaged (" + c.problem + "). The default setup is used.");
    EXPECT_EQ(form.cmbNoOfLops.ListIndex(), 1);
    for (int i = 1; i <= 7; ++i) {
      EXPECT_EQ(form.cmbMaster(i).ListIndex(), -1);
      EXPECT_EQ(LopTable(i).Weight, 1.0f);
      EXPECT_EQ(LopTable(i).ObservedTd, 0.0);
      EXPECT_EQ(LopTable(i).MasterIndex, 0);
    }
    EXPECT_EQ(NoOfLops, 0);
    EXPECT_EQ(EstLat, 0.0);
    EXPECT_EQ(EstLon, 0.0);
  }
}

// A position so close to zero that its text is below the smallest double
// (a subnormal in the globals is written as it is) reads as zero, not as damage.
TEST_F(SetupFileTest, ValueBelowTheSmallestDoubleReadsAsZero) {
  EstLat = 1e-310;
  EstLon = -4e-320;
  NoOfLops = 2;
  LopTable(1) = {0, 1, 14200.0, 1.0f};
  LopTable(2) = {0, 2, 5e-324, 1.0f};
  ASSERT_TRUE(WriteSetupFile());
  Global_Module::ResetGlobals();
  Load();
  EXPECT_TRUE(Texts().empty());
  EXPECT_NEAR(EstLat, 0.0, 1e-300);
  EXPECT_NEAR(EstLon, 0.0, 1e-300);
  EXPECT_EQ(NoOfLops, 2);
}

TEST_F(SetupFileTest, TextsBelowTheSmallestDoubleReadAsZero) {
  WriteFile(Global_Module::kSetupFileName, "1e-400,-2E-999\r\n2\r\n0,1,1e-330,1\r\n0,2,0,1\r\n");
  Load();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(EstLat, 0.0);
  EXPECT_EQ(EstLon, 0.0);
  EXPECT_EQ(LopTable(1).ObservedTd, 0.0);
}

TEST_F(SetupFileTest, UnreadableFileIsReportedAndTheDefaultsApply) {
  std::filesystem::create_directory("Kestrune.ini");
  Load();
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0], "SetupState file Kestrune.ini cannot be read. The default setup is used.");
  ExpectDefaults();
}

// A name whose status cannot be read (here a link to itself; likewise a
// working directory that cannot be searched) is taken as no file at all.
TEST_F(SetupFileTest, StatusThatCannotBeReadCountsAsNoFile) {
  std::filesystem::create_symlink("Kestrune.ini", "Kestrune.ini");
  Load();
  EXPECT_TRUE(Texts().empty());
  ExpectDefaults();
}

TEST_F(SetupFileTest, NoFileMeansDefaultsWithoutMessage) {
  Load();
  EXPECT_TRUE(Texts().empty());
  ExpectDefaults();
}

TEST_F(SetupFileTest, UnwritableFileIsReportedAndTheOldFileKept) {
  NoOfLops = 2;
  LopTable(1) = {0, 1, 1.0, 1.0f};
  LopTable(2) = {0, 2, 2.0, 1.0f};

  // The name is taken by a directory: the finished temporary cannot replace it.
  std::filesystem::create_directory("Kestrune.ini");
  EXPECT_FALSE(WriteSetupFile());
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0], "SetupState file Kestrune.ini could not be written.");
  EXPECT_TRUE(std::filesystem::is_directory("Kestrune.ini"));
  EXPECT_FALSE(std::filesystem::exists("Kestrune.ini.tmp"));

  // The temporary cannot be created: the old file stays as it was.
  std::filesystem::remove("Kestrune.ini");
  WriteFile("Kestrune.ini", "old");
  std::filesystem::create_directory("Kestrune.ini.tmp");
  Boxes().boxes.clear();
  EXPECT_FALSE(WriteSetupFile());
  EXPECT_EQ(Texts(), std::vector<std::string>{"SetupState file Kestrune.ini could not be written."});
  EXPECT_EQ(ReadFile("Kestrune.ini"), "old");
  EXPECT_TRUE(std::filesystem::is_directory("Kestrune.ini.tmp"));
}

TEST_F(SetupFileTest, WriteThenReadGivesTheSavedValues) {
  EstLat = 64.0 * constants::kPi / 180.0;
  EstLon = -7.073910833464728 * constants::kPi / 180.0;
  NoOfLops = 6;
  const Global_Module::LopRecord lops[] = {
      {0, 1, 15373.704612345678, 1.0f}, {0, 4, 59322.9, 0.0f},     {5, 6, 13563.041, 0.75f},
      {8, 9, 16046.944, 0.1f},          {11, 13, 26271.61, 0.33f}, {11, 12, -5.5, 0.996f}};
  for (int i = 1; i <= 6; ++i) LopTable(i) = lops[i - 1];
  ASSERT_TRUE(WriteSetupFile());
  const double lat = EstLat;
  const double lon = EstLon;
  Global_Module::ResetGlobals();
  Load();
  EXPECT_TRUE(Texts().empty());
  EXPECT_NEAR(EstLat, lat, 5e-15);  // 15 significant digits
  EXPECT_NEAR(EstLon, lon, 5e-16);
  EXPECT_EQ(NoOfLops, 6);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(LopTable(i).MasterIndex, lops[i - 1].MasterIndex);
    EXPECT_EQ(LopTable(i).SecondaryIndex, lops[i - 1].SecondaryIndex);
    EXPECT_NEAR(LopTable(i).ObservedTd, lops[i - 1].ObservedTd, 1e-10);
    EXPECT_EQ(LopTable(i).Weight, lops[i - 1].Weight) << "7 digits give the float back";
  }
  EXPECT_EQ(form_.cmbNoOfLops.Text(), "6");
  EXPECT_EQ(form_.cmbSecondary(2).ListIndex(), 3);
  EXPECT_EQ(form_.cmbSecondary(5).ListIndex(), 9);
}

}  // namespace
}  // namespace kestrune
