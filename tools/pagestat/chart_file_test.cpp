// The chart file made before the work: what it leaves behind on each way out.
#include "tools/pagestat/chart_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ChartFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() / ("chart_file_test." + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(ChartFileTest, ANewFileNeverWrittenIsRemoved) {
  const std::filesystem::path path = folder_ / "new.svg";
  {
    ChartFile chart;
    ASSERT_TRUE(chart.open(path));
    EXPECT_TRUE(std::filesystem::exists(path));  // made before the work
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ChartFileTest, AnOldFileKeepsItsTextUntilTheNewIsWritten) {
  const std::filesystem::path path = folder_ / "old.svg";
  std::ofstream(path) << "an older, longer chart";
  {
    ChartFile chart;
    ASSERT_TRUE(chart.open(path));
  }
  EXPECT_EQ(contents(path), "an older, longer chart");
  ChartFile chart;
  ASSERT_TRUE(chart.open(path));
  ASSERT_TRUE(chart.write("new"));
  EXPECT_EQ(contents(path), "new");
}

TEST_F(ChartFileTest, AMissingFolderFailsAtOpenWithItsReason) {
  ChartFile chart;
  EXPECT_FALSE(chart.open(folder_ / "no" / "x.svg"));
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
