// Start-up, arguments, files and every way the program can fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/expected_text.hpp"

namespace {

const char kOneRecord[] = "7 3000 3100\n";
const char kOneRecordLog[] =
    "Page Fault: line 1 proc 7 LP 2 PP 0\n"
    "TLB: line 1 Entry 0 proc 7 LP 2 PP 0\n"
    "Page Fault: line 1 proc 7 LP 3 PP 1\n"
    "TLB: line 1 Entry 1 proc 7 LP 3 PP 1\n";

TEST(CommandLine, NoArgumentsRunsModeZeroAndPrintsBannerAndTotals) {
  TempFolder folder;
  folder.write("data.txt", kOneRecord);
  RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out, totals(1, 2, 2, 0));
  EXPECT_EQ(folder.read("out.txt"), kOneRecordLog);
}

TEST(CommandLine, ModeArgumentsFollowTheAsciiToIntegerRule) {
  for (const char* mode : {"0", "1", "1abc", "letters", " +1", "00"}) {
    TempFolder folder;
    folder.write("data.txt", kOneRecord);
    RunResult run = pagesim(folder, {mode});
    EXPECT_EQ(run.exit_status, 0) << mode;
    EXPECT_EQ(run.err, kBannerText) << mode;
    EXPECT_EQ(run.out, totals(1, 2, 2, 0)) << mode;
  }
}

TEST(CommandLine, ThreeArgumentsAreRefusedBeforeAnyFileIsTouched) {
  TempFolder folder;
  RunResult run = pagesim(folder, {"0", "5", "x"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out, "Error, too many arguments\n");
  EXPECT_FALSE(folder.exists("out.txt"));
}

TEST(CommandLine, BadFirstArgumentIsEchoedAsTypedWithoutTouchingFiles) {
  for (const char* mode : {"2", "-1", "4294967297", "-4294967295", " 7x"}) {
    TempFolder folder;
    folder.write("data.txt", kOneRecord);
    folder.write("out.txt", "kept");
    RunResult run = pagesim(folder, {mode, "3"});
    EXPECT_EQ(run.exit_status, 1) << mode;
    EXPECT_EQ(run.err, kBannerText + "Error, bad first argument " + mode + "\n");
    EXPECT_EQ(run.out, "") << mode;
    EXPECT_EQ(folder.read("out.txt"), "kept") << mode;
  }
}

TEST(CommandLine, MissingDataFileLeavesNoEventLog) {
  TempFolder folder;
  RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out, "Error, could not open data.txt. Good bye!\n");
  EXPECT_FALSE(folder.exists("out.txt"));
}

TEST(CommandLine, UnopenableEventLogIsAFailure) {
  TempFolder folder;
  folder.write("data.txt", kOneRecord);
  std::filesystem::create_directory(folder.work() / "out.txt");
  RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out, "Error, could not open out.txt. Good bye!\n");
  EXPECT_EQ(folder.read("data.txt"), kOneRecord);
}

TEST(CommandLine, DataFileThatIsAFolderIsAReadErrorAfterTheLogIsCreated) {
  TempFolder folder;
  std::filesystem::create_directory(folder.work() / "data.txt");
  folder.write("out.txt", "old contents");
  RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText);
  EXPECT_EQ(run.out, "Error, could not read data.txt. Good bye!\n");
  EXPECT_TRUE(folder.exists("out.txt"));
  EXPECT_EQ(folder.read("out.txt"), "");
}

TEST(CommandLine, FullDiskUnderTheEventLogIsReported) {
  TempFolder folder;
  folder.write("data.txt", kOneRecord);
  std::filesystem::create_symlink("/dev/full", folder.work() / "out.txt");
  RunResult run = pagesim(folder);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText + "Error, could not write out.txt\n");
  EXPECT_EQ(run.out, totals(1, 2, 2, 0)) << "the console is not affected";
}

TEST(CommandLine, FullStandardOutputIsReported) {
  TempFolder folder;
  folder.write("data.txt", kOneRecord);
  RunOptions options;
  options.stdout_path = "/dev/full";
  RunResult run = pagesim(folder, {}, options);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText + "Error, could not write standard output\n");
  EXPECT_EQ(folder.read("out.txt"), kOneRecordLog);
}

TEST(CommandLine, ClosedStandardOutputIsReportedAndTheLogIsKeptApart) {
  TempFolder folder;
  folder.write("data.txt", kOneRecord);
  RunOptions options;
  options.stdout_path = "&-";
  options.close_stdin = true;  // else data.txt would take descriptor 0 and out.txt 1
  RunResult run = pagesim(folder, {}, options);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText + "Error, could not write standard output\n");
  EXPECT_EQ(folder.read("out.txt"), kOneRecordLog) << "the totals must not land in out.txt";
}

TEST(CommandLine, ReaderLeavingTheOutputPipeCostsNoEventLogLine) {
  TempFolder folder;
  std::string trace;
  for (int record = 0; record < 20000; ++record)
    trace += "1 " + std::to_string(record % 64 * 1024 + 1) + " 0\n";
  folder.write("data.txt", trace);
  RunOptions quiet;
  quiet.stdin_path = "/dev/null";
  RunResult reference = pagesim(folder, {"0", "0"}, quiet);
  const std::string reference_log = folder.read("out.txt");

  // The reader takes ten bytes of the display and leaves.
  RunOptions piped;
  piped.stdin_path = "/dev/null";
  piped.shell_prefix = "mkfifo ../pipe; (head -c 10 ../pipe > /dev/null) &";
  piped.stdout_path = (folder.base() / "pipe").string();
  RunResult run = pagesim(folder, {"0", "0"}, piped);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, kBannerText + "Error, could not write standard output\n");
  EXPECT_TRUE(folder.read("out.txt") == reference_log) << "out.txt differs";
}

TEST(CommandLine, FileSizeLimitKeepsWhatFitsAndIsReported) {
  TempFolder folder;
  std::string trace;
  for (int record = 0; record < 3000; ++record)
    trace += std::to_string(record % 50) + " " + std::to_string(record % 64 * 1024) + " " +
             std::to_string((record * 7) % 64 * 1024) + "\n";
  folder.write("data.txt", trace);
  RunResult unlimited = pagesim(folder);
  ASSERT_EQ(unlimited.exit_status, 0);
  const std::string full_log = folder.read("out.txt");
  ASSERT_GT(full_log.size(), 100u * 1024);

  RunOptions options;
  options.shell_prefix = "ulimit -f 64; trap '' XFSZ;";  // 32 or 64 KiB by the shell's block size
  RunResult limited = pagesim(folder, {}, options);
  EXPECT_EQ(limited.exit_status, 1);
  EXPECT_EQ(limited.err, kBannerText + "Error, could not write out.txt\n");
  EXPECT_EQ(limited.out, unlimited.out);
  const std::string kept = folder.read("out.txt");
  EXPECT_TRUE(kept.size() == 32u * 1024 || kept.size() == 64u * 1024) << kept.size();
  EXPECT_EQ(kept, full_log.substr(0, kept.size()));

  // Without the shell's help the limit's signal must not kill the run either.
  options.shell_prefix = "ulimit -f 64;";
  RunResult unprotected = pagesim(folder, {}, options);
  EXPECT_EQ(unprotected.exit_status, 1);
  EXPECT_EQ(unprotected.err, kBannerText + "Error, could not write out.txt\n");
  EXPECT_EQ(unprotected.out, unlimited.out);
}

}  // namespace
