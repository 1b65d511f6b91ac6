// The chain setup dialog and the setup file: the lists the dialog fills from
// the catalogue, the rows it shows, the checks of ACCEPT; the file's exact
// text, tolerant reading, damaged files, and saving that no planted link,
// leftover file or read-only mode can turn against the user.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "chain_setup/frm_loransetup.hpp"
#include "chain_setup/setup_file.hpp"
#include "loran/catalogue.hpp"
#include "tests/support/model_test.hpp"
#include "util/constants.hpp"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

class SetupTest : public testing_support::ModelTest {
 protected:
  // The dialog at program start, reading whatever file the test put here.
  Frm_LoranSetup& Load() {
    RunEventHandler([this] { form_.Form_Load(); });
    return form_;
  }
  void Pick(int row, int master, int secondary) {
    form_.cmbMaster(row).SetListIndex(master);
    form_.cmbSecondary(row).SetListIndex(secondary);
  }
  // A run that found no usable file: three rows, nothing picked, weights 1.
  void ExpectDefaults() {
    EXPECT_EQ(form_.cmbNoOfLops.Text(), "3");
    for (int i = 1; i <= kMaxLops; ++i) {
      EXPECT_EQ(form_.cmbMaster(i).ListIndex(), -1) << i;
      EXPECT_EQ(form_.cmbMaster(i).Visible(), i <= 3) << i;
      EXPECT_EQ(setup_.LopTable(i), (LopRecord{0, 0, 0.0, 1.0f})) << i;
    }
    EXPECT_EQ(setup_.NoOfLops, 0);
    EXPECT_EQ(setup_.EstLat, 0.0);
  }
  SetupState ThreeLops() const {
    SetupState s;
    s.EstLat = 62.5 * constants::kPi / 180.0;
    s.EstLon = 5.0 * constants::kPi / 180.0;
    s.NoOfLops = 3;
    s.LopTable(1) = {0, 1, 14523.456, 1.0f};
    s.LopTable(2) = {0, 2, 28456.789, 1.0f};
    s.LopTable(3) = {0, 3, 41234.567, 0.5f};
    s.LopTable(4) = {11, 12, 99.0, 0.25f};  // above the count: not written
    return s;
  }

  SetupState setup_;
  Frm_LoranSetup form_{setup_, loran::NelsCatalogue()};
};

const char* const kThreeLopsText =
    "1.09083078249653,0.0872664625997222\r\n3\r\n0,1,14523.456,1\r\n0,2,28456.789,1\r\n"
    "0,3,41234.567,0.5\r\n";

TEST_F(SetupTest, FirstStartFillsTheListsFromTheCatalogue) {
  Frm_LoranSetup& f = Load();
  EXPECT_TRUE(Texts().empty());
  ExpectDefaults();
  const std::vector<std::string> secondaries = {
      " 9007 W Jan Mayen", " 9007 X Boe",       " 9007 Y Vaerlandet", " 9007 Z Loop Head",
      " 7001 X Jan Mayen", " 7001 Y Berlevaag", " 7499 X Lessay",     " 7499 Y Vaerlandet",
      " 6731 X Soustons",  " 6731 Y Loop Head", " 6731 Z Sylt"};
  const std::vector<std::string> masters = {" 9007 M Ejde", " 7001 M Boe", " 7499 M Sylt",
                                            " 6731 M Lessay"};
  for (int i = 1; i <= kMaxLops; ++i) {
    ASSERT_EQ(f.cmbSecondary(i).ListCount(), 11);
    for (int p = 0; p < 11; ++p) EXPECT_EQ(f.cmbSecondary(i).List(p), secondaries[p]);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(f.cmbMaster(i).List(p), masters[p]);
  }
  ASSERT_EQ(f.cmbNoOfLops.ListCount(), 5);
  EXPECT_EQ(f.cmbNoOfLops.List(4), "6");
  // Picking "4" shows four rows; "2" hides them again without clearing them.
  Pick(4, 1, 4);
  f.cmbNoOfLops.SetListIndex(2);
  EXPECT_TRUE(f.cmbMaster(4).Visible());
  EXPECT_FALSE(f.cmbMaster(5).Visible());
  f.cmbNoOfLops.SetListIndex(0);
  EXPECT_FALSE(f.cmbSecondary(3).Visible());
  EXPECT_EQ(f.cmbSecondary(4).ListIndex(), 4);
}

TEST_F(SetupTest, AcceptRefusesTheFirstFaultyRowOrStoresTheChoice) {
  Frm_LoranSetup& f = Load();
  int opened = 0;
  f.OpenCalculationWindow = [&] { opened += f.Closed() ? 1 : 100; };
  const struct {
    std::vector<std::vector<int>> rows;  // master position, secondary position (-1 none)
    std::string message;
  } cases[] = {
      {{}, "Loran master 1 not defined"},
      {{{0, 0}, {1, -1}}, "Loran secondary 2 not defined"},
      {{{0, 0}, {1, 3}}, "Loran secondary 2 not in corresponding chain to selected master"},
      {{{3, 7}}, "Loran secondary 1 not in corresponding chain to selected master"},
      {{{0, 0}, {0, 1}, {-1, 2}}, "Loran master 3 not defined"},
  };
  for (const auto& c : cases) {
    for (int i = 1; i <= kMaxLops; ++i) Pick(i, -1, -1);
    for (std::size_t r = 0; r < c.rows.size(); ++r) {
      Pick(static_cast<int>(r + 1), c.rows[r][0], c.rows[r][1]);
    }
    Boxes().boxes.clear();
    f.cmdAccept.DoClick();
    EXPECT_EQ(Texts(), std::vector<std::string>{c.message});
  }
  EXPECT_EQ(opened, 0);

  f.cmbNoOfLops.SetListIndex(2);  // four LOPs
  Pick(1, 0, 0);                  // 9007 W Jan Mayen
  Pick(2, 3, 10);                 // 6731 Z Sylt
  Pick(3, 1, 5);                  // 7001 Y Berlevaag
  Pick(4, 3, 10);                 // the same pair twice is allowed
  Boxes().boxes.clear();
  f.cmdAccept.DoClick();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(opened, 1);  // after the dialog closed
  EXPECT_EQ(setup_.NoOfLops, 4);
  const int expected[][2] = {{0, 1}, {11, 14}, {5, 7}, {11, 14}};
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(setup_.LopTable(i).MasterIndex, expected[i - 1][0]) << i;
    EXPECT_EQ(setup_.LopTable(i).SecondaryIndex, expected[i - 1][1]) << i;
  }
}

TEST_F(SetupTest, FileTextIsExactAndReadsBackIntoTheDialog) {
  EXPECT_EQ(SetupFileText(ThreeLops()), kThreeLopsText);
  SetupState digits;
  digits.EstLat = -0.1;
  digits.EstLon = 1.0 / 3.0;
  digits.NoOfLops = 2;
  digits.LopTable(1) = {8, 10, 27075.157000000003, 0.75f};
  digits.LopTable(2) = {5, 7, 1e-5, 1.0f / 3.0f};
  EXPECT_EQ(SetupFileText(digits),
            "-0.1,0.333333333333333\r\n2\r\n8,10,27075.157,0.75\r\n5,7,1e-05,0.3333333\r\n");

  // The locale's separator never reaches the file.
  SetDecimalSeparator(',');
  ASSERT_EQ(WriteSetupFile(ThreeLops(), kSetupFileName), "");
  EXPECT_EQ(ReadFile(kSetupFileName), kThreeLopsText);
  WriteFile(kSetupFileName,
            "1.09083078249653,0.0872664625997222\r\n3\r\n5,7,31003.865,1\r\n11,12,13000,0.5\r\n"
            "11,14,42100.25,0\r\n");
  Frm_LoranSetup& f = Load();
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(setup_.NoOfLops, 3);
  EXPECT_EQ(f.cmbNoOfLops.Text(), "3");
  const int positions[][2] = {{1, 5}, {3, 8}, {3, 10}};
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(f.cmbMaster(i).ListIndex(), positions[i - 1][0]) << i;
    EXPECT_EQ(f.cmbSecondary(i).ListIndex(), positions[i - 1][1]) << i;
  }
  EXPECT_EQ(setup_.LopTable(2), (LopRecord{11, 12, 13000.0, 0.5f}));
  EXPECT_EQ(setup_.LopTable(4).Weight, 0.0f) << "LOPs above the count keep their start values";
}

TEST_F(SetupTest, ReadsTolerantForms) {
  const char* const texts[] = {
      "0.5,-0.125\r\n2\r\n0,1,14200.5,1\r\n11,14,42100,0.25\r\n",
      ".5,-.125\n2\n0,1,14200.5,1\n11,14,42100,.25\n",
      " 5e-1 , -1.25E-1 \n +2 \n0, 1 ,1.42005e4,1\n11,14, 4.21e4 ,2.5e-1\n\n\n",
      "0.5,-0.125\n2\n0,1,14200.5,1\n11,14,42100,0.25\n0,2,1,1\n",  // lines after the LOPs
  };
  for (const char* text : texts) {
    SetupState s;
    ASSERT_EQ(ParseSetupText(text, loran::NelsCatalogue(), s), "") << text;
    EXPECT_EQ(s.EstLon, -0.125);
    EXPECT_EQ(s.LopTable(1), (LopRecord{0, 1, 14200.5, 1.0f}));
    EXPECT_EQ(s.LopTable(2), (LopRecord{11, 14, 42100.0, 0.25f}));
  }
  // Below the smallest double reads as zero, as the writer may write a subnormal.
  SetupState tiny;
  ASSERT_EQ(ParseSetupText("1e-400,-2E-999\r\n2\r\n0,1,1e-330,2\r\n0,2,0,1\r\n",
                           loran::NelsCatalogue(), tiny),
            "");
  EXPECT_EQ(tiny.EstLat, 0.0);
  EXPECT_EQ(tiny.LopTable(1).Weight, 2.0f) << "a weight outside 0 to 1 loads as written";
}

TEST_F(SetupTest, DamagedFileIsReportedOnceAndTheDefaultsApply) {
  const std::string pos = "1.09,0.087\r\n";
  const struct {
    std::string text;
    std::string problem;
  } cases[] = {
      {"", "line 1: the estimated position is missing"},
      {"1.09\r\n3\r\n", "line 1: 2 numbers expected, 1 found"},
      {"1,09,0,087\r\n2\r\n", "line 1: 2 numbers expected, 4 found"},
      {"nan,0\r\n2\r\n", "line 1: \"nan\" is not a finite number"},
      {"1.6,0\r\n2\r\n", "line 1: the estimated position is out of range"},
      {pos, "line 2: the number of LOPs is missing"},
      {pos + "7\r\n", "line 2: the number of LOPs is not 2 to 6"},
      {pos + "2.5\r\n", "line 2: \"2.5\" is not a whole number"},
      {pos + "2\r\n0,1,14200,1\r\n", "line 4: LOP 2 is missing"},
      {pos + "2\r\n0,1,14200,1\r\n0,,28000,1\r\n", "line 4: a field is empty"},
      {pos + "2\r\n0,1,14200,1\r\n5,2,28000,1\r\n",
       "line 4: stations 5 and 2 are not a master and a secondary of one chain"},
      {pos + "2\r\n0,15,14200,1\r\n0,2,28000,1\r\n",
       "line 3: stations 0 and 15 are not a master and a secondary of one chain"},
      {pos + "2\r\n0,1,inf,1\r\n0,2,28000,1\r\n", "line 3: \"inf\" is not a finite number"},
      {pos + "2\r\n0,1,14200,1e39\r\n0,2,28000,1\r\n", "line 3: the weight is out of range"},
      {pos + "2\r\n0,1,14200,1;\r\n0,2,28000,1\r\n", "line 3: \"1;\" is not a number"},
  };
  for (const auto& c : cases) {
    SetupState s = ThreeLops();
    EXPECT_EQ(ParseSetupText(c.text, loran::NelsCatalogue(), s), c.problem);
    EXPECT_EQ(s, ThreeLops()) << "a damaged file changes nothing";
  }
  WriteFile(kSetupFileName, pos + "7\r\n");
  Load();
  EXPECT_EQ(Texts(), std::vector<std::string>{"Setup file Kestrune.ini is damaged (line 2: the "
                                              "number of LOPs is not 2 to 6). The default setup "
                                              "is used."});
  ExpectDefaults();
}

TEST_F(SetupTest, UnreadableOrUnresolvableFiles) {
  fs::create_directory(kSetupFileName);
  Load();
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "Setup file Kestrune.ini cannot be read. The default setup is used."});
  ExpectDefaults();
  // A name whose status cannot be read (a link to itself) counts as no file.
  fs::remove(kSetupFileName);
  fs::create_symlink(kSetupFileName, kSetupFileName);
  EXPECT_EQ(ReadSetupFile(kSetupFileName, loran::NelsCatalogue(), setup_).status,
            SetupFileRead::Status::Absent);
  // A file far larger than any setup is not read into memory.
  fs::remove(kSetupFileName);
  WriteFile(kSetupFileName, std::string((1 << 20) + 1, '0'));
  EXPECT_EQ(ReadSetupFile(kSetupFileName, loran::NelsCatalogue(), setup_).status,
            SetupFileRead::Status::Unreadable);
}

// Saving used to open "Kestrune.ini.tmp" with truncation and follow any link
// planted there; the temporary is now a fresh file of its own.
TEST_F(SetupTest, SavingCannotBeTurnedAgainstTheUser) {
  const std::string written = SetupFileText(ThreeLops());
  WriteFile("victim", "victim");
  fs::create_symlink("victim", "Kestrune.ini.tmp");
  WriteFile(".Kestrune.ini.aaaaaa", "left by a killed run");
  ASSERT_EQ(WriteSetupFile(ThreeLops(), kSetupFileName), "");
  EXPECT_EQ(ReadFile("victim"), "victim");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(kSetupFileName)));
  EXPECT_EQ(ReadFile(kSetupFileName), written);
  EXPECT_EQ(ReadFile(".Kestrune.ini.aaaaaa"), "left by a killed run");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 4)
      << "no temporary left behind";

  // A linked setup file: its target is replaced and the link stays.
  fs::remove(kSetupFileName);
  fs::create_directory("real");
  WriteFile("real/settings", "old");
  fs::create_symlink("real/settings", kSetupFileName);
  ASSERT_EQ(WriteSetupFile(ThreeLops(), kSetupFileName), "");
  EXPECT_TRUE(fs::is_symlink(kSetupFileName));
  EXPECT_EQ(ReadFile("real/settings"), written);

  // A read-only file is kept, for root too; so is a directory in the way.
  fs::remove(kSetupFileName);
  WriteFile(kSetupFileName, "kept");
  ::chmod(kSetupFileName, 0444);
  EXPECT_EQ(WriteSetupFile(ThreeLops(), kSetupFileName),
            "Setup file Kestrune.ini could not be written.");
  EXPECT_EQ(ReadFile(kSetupFileName), "kept");
  fs::remove(kSetupFileName);
  fs::create_directory(kSetupFileName);
  EXPECT_NE(WriteSetupFile(ThreeLops(), kSetupFileName), "");
  EXPECT_TRUE(fs::is_directory(kSetupFileName));
}

}  // namespace
}  // namespace kestrune
