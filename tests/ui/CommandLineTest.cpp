// The command line's words in messages, options given twice, the memory figure read
// from the system, and the progress line of long work.

#include "ui/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/MemoryBudget.h"
#include "ui/TerminalProgress.h"

namespace quarvel {
namespace {

TEST(CommandLine, LongValuesAreCutInMessages) {
  const std::string hundred(100, 'a'), accents = std::string(99, 'a') + "\xc3\xa9\xc3\xa9";
  EXPECT_EQ(ShownValue(""), "");
  EXPECT_EQ(ShownValue(hundred), hundred);
  EXPECT_EQ(ShownValue(hundred + "b"), hundred + "... (101 bytes)");
  // Never inside a character: the é that starts at byte 99 goes whole.
  EXPECT_EQ(ShownValue(accents), std::string(99, 'a') + "... (103 bytes)");
  const std::string path(4096, '/');
  EXPECT_EQ(ShownValue(path, kShownPathLength), path);
  EXPECT_EQ(ShownValue(path + "x", kShownPathLength), path + "... (4097 bytes)");
}

TEST(CommandLine, AnOptionGivenTwiceIsAUsageError) {
  const QCommandLineOption views("views", "", "N"), help = HelpOption();
  const struct {
    QStringList arguments;
    const char* error;  // empty: accepted
  } cases[] = {
      {{"p", "--views", "5"}, ""},
      {{"p", "--views", "5", "--views", "7"}, "--views is given 2 times (see --help)"},
      {{"p", "--views=5", "x", "--views", "5"}, "--views is given 2 times (see --help)"},
      {{"p", "-h", "--help"}, "--help is given 2 times (see --help)"},
      {{"p", "--", "--views", "--views"}, ""},  // after "--" they are files
  };
  for (const auto& c : cases) {
    QCommandLineParser parser;
    std::string error;
    try {
      ParseCommandLine(parser, {views, help}, c.arguments);
    } catch (const EUsageError& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.error) << c.arguments.join(' ').toStdString();
  }
}

TEST(MemoryBudget, MemAvailableIsReadInBytes) {
  const struct {
    const char* text;
    std::optional<std::uint64_t> bytes;
  } cases[] = {
      {"MemTotal:       24683716 kB\nMemFree:  1 kB\nMemAvailable:    9990576 kB\nBuffers: 2 kB\n",
       std::uint64_t(9990576) * 1024},
      {"MemAvailable: 0 kB", 0},
      {"MemTotal:       24683716 kB\n", std::nullopt},
      {"MemAvailable: 12 MB\n", std::nullopt},
      {"MemAvailable: x kB\n", std::nullopt},
      {"MemAvailable: 99999999999999999999 kB\n", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(MemAvailableBytes(c.text), c.bytes) << c.text;
  EXPECT_GT(AvailableMemoryBytes(), 0u);
}

TEST(TerminalProgress, TheLineOfAStage) {
  const struct {
    const char* stage;
    int done, total;
    double elapsed;
    int width;
    const char* line;
  } cases[] = {
      {"sinogram", 0, 0, 2.4, 80, "sinogram  2 s"},
      {"SIRT iterations", 0, 40, 5, 80, "SIRT iterations  [....................]  0%"},
      {"SIRT iterations", 10, 40, 5, 80, "SIRT iterations  [#####...............]  25%  15 s left"},
      {"SIRT iterations", 39, 40, 3900, 80,
       "SIRT iterations  [###################.]  97%  1 min 40 s left"},
      {"SIRT iterations", 40, 40, 5, 80, "SIRT iterations  [####################]  100%"},
      {"SIRT iterations", 1, 100000, 0.25, 80,
       "SIRT iterations  [....................]  0%  6 h 56 min left"},
      {"SIRT iterations", 10, 40, 5, 20, "SIRT iterations  [##"},  // cut to the terminal
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgressLine(c.stage, c.done, c.total, c.elapsed, c.width), c.line)
        << c.stage << " " << c.done << "/" << c.total;
}

}  // namespace
}  // namespace quarvel
