#include "model/PhantomFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace quarvel {
namespace {

std::string Message(std::string_view text) {
  try {
    ParsePhantom(text, "p.csv");
  } catch (const EPhantomError& e) {
    return e.Message();
  }
  return "(accepted)";
}

TEST(PhantomFile, ReadsBlobsInOrder) {
  const auto blobs = ParsePhantom(
      "\xEF\xBB\xBF# the start-up phantom\r\n"
      "\n"
      " MX , dx,My,DY ,Enabled\r\n"
      "7,2,12,2,1\r\n"
      "  # a comment between blobs\n"
      "\t+9.5 ,3e0, -7 ,.25, false\n"
      "1e-400,1E2,0,5.,TRUE",
      "p.csv");
  ASSERT_EQ(blobs.size(), 3u);
  EXPECT_EQ(blobs[0].MX, 7.0);
  EXPECT_EQ(blobs[0].DX, 2.0);
  EXPECT_EQ(blobs[0].MY, 12.0);
  EXPECT_EQ(blobs[0].DY, 2.0);
  EXPECT_TRUE(blobs[0].Enabled);
  EXPECT_EQ(blobs[1].MX, 9.5);
  EXPECT_EQ(blobs[1].MY, -7.0);
  EXPECT_EQ(blobs[1].DY, 0.25);
  EXPECT_FALSE(blobs[1].Enabled);
  EXPECT_EQ(blobs[2].MX, 0.0);  // below the double range: zero
  EXPECT_EQ(blobs[2].DX, 100.0);
  EXPECT_TRUE(blobs[2].Enabled);
}

TEST(PhantomFile, NumbersAreExactDoubles) {
  const auto blobs = ParsePhantom(
      "mx,dx,my,dy\n0.1,2.219190097936199e-309,1.7976931348623157e308,0.30000000000000004\n",
      "p.csv");
  ASSERT_EQ(blobs.size(), 1u);
  EXPECT_EQ(blobs[0].MX, 0.1);
  // The smallest spread whose peak density fits a double; the double below it is refused.
  EXPECT_EQ(blobs[0].DX, 2.219190097936199e-309);
  EXPECT_EQ(blobs[0].MY, 1.7976931348623157e308);
  EXPECT_EQ(blobs[0].DY, 0.1 + 0.2);
  EXPECT_TRUE(blobs[0].Enabled);
}

TEST(PhantomFile, AHeaderWithoutBlobsIsAValidEmptyPhantom) {
  EXPECT_TRUE(ParsePhantom("mx,dx,my,dy\n", "p.csv").empty());
  EXPECT_TRUE(ParsePhantom("# none\nmx,dx,my,dy,enabled\n\n# still none\n", "p.csv").empty());
}

TEST(PhantomFile, EachErrorIsOneLineWithFileLineColumnAndReason) {
  const std::string longLine = "mx,dx,my,dy\n" + std::string(4097, ' ') + "\n";
  const std::string longestLine = "mx,dx,my,dy\n7,2,12," + std::string(4096 - 8, ' ') + "2\r\n";
  std::string manyBlobs = "mx,dx,my,dy\n";
  for (int i = 0; i < 10001; ++i) manyBlobs += "1,1,1,1\n";
  const struct {
    const char* name;
    std::string text;
    std::string message;
  } cases[] = {
      {"empty file", "",
       "p.csv:1:1: missing header: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"comments only", "# a\n\n",
       "p.csv:3:1: missing header: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"blob before the header", "# a\n 7,2,12,2\n",
       "p.csv:2:2: missing header before the first blob: expected the header \"mx,dx,my,dy\" or "
       "\"mx,dx,my,dy,enabled\""},
      {"wrong column name", "mx,dx,mz,dy\n",
       "p.csv:1:7: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"columns out of order", "dx,mx,my,dy\n",
       "p.csv:1:1: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"header too short", "mx,dx,my\n",
       "p.csv:1:9: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"header too long", "mx,dx,my,dy,enabled,x\n",
       "p.csv:1:21: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\""},
      {"too few fields", "mx,dx,my,dy\n7,2,12\n", "p.csv:2:7: expected 4 fields, found 3"},
      {"too many fields", "mx,dx,my,dy\n7,2,12,2,1\n", "p.csv:2:10: expected 4 fields, found 5"},
      {"decimal comma", "mx,dx,my,dy\n7,5,2,12,2\n", "p.csv:2:10: expected 4 fields, found 5"},
      {"enabled missing", "mx,dx,my,dy,enabled\n7,2,12,2\n",
       "p.csv:2:9: expected 5 fields, found 4"},
      {"not a number", "mx,dx,my,dy\n7,2,twelve,2\n", "p.csv:2:5: MY is not a number: \"twelve\""},
      {"empty field", "mx,dx,my,dy\n7,,12,2\n", "p.csv:2:3: DX is not a number: \"\""},
      {"trailing text", "mx,dx,my,dy\n7,2,12,2x\n", "p.csv:2:8: DY is not a number: \"2x\""},
      {"two signs", "mx,dx,my,dy\n+-7,2,12,2\n", "p.csv:2:1: MX is not a number: \"+-7\""},
      {"hexadecimal", "mx,dx,my,dy\n0x7,2,12,2\n", "p.csv:2:1: MX is not a number: \"0x7\""},
      {"control characters shown escaped", "mx,dx,my,dy\n7\x1b[2J,2,12,2\n",
       "p.csv:2:1: MX is not a number: \"7\\x1b[2J\""},
      {"long field cut between characters",
       "mx,dx,my,dy\n" + std::string(39, 'x') + "\xC3\xA9\xC3\xA9,2,12,2\n",
       "p.csv:2:1: MX is not a number: \"" + std::string(39, 'x') + "\xC3\xA9...\""},
      {"column in characters", "mx,dx,my,dy\n\xC3\xA9,2,12,2\n",
       "p.csv:2:1: MX is not a number: \"\xC3\xA9\""},
      {"column after a wide character", "mx,dx,my,dy\n# \xC3\xA9\xFF\n",
       "p.csv:2:4: not UTF-8 text"},
      {"zero spread", "mx,dx,my,dy\n7,0,12,2\n",
       "p.csv:2:3: DX must be finite and greater than 0, not \"0\""},
      {"negative spread", "mx,dx,my,dy\n7,2,12,-2\n",
       "p.csv:2:8: DY must be finite and greater than 0, not \"-2\""},
      {"infinite spread", "mx,dx,my,dy\n7,inf,12,2\n",
       "p.csv:2:3: DX must be finite and greater than 0, not \"inf\""},
      {"spread beyond the range", "mx,dx,my,dy\n7,1e400,12,2\n",
       "p.csv:2:3: DX must be finite and greater than 0, not \"1e400\""},
      {"spread below the range", "mx,dx,my,dy\n7,1e-400,12,2\n",
       "p.csv:2:3: DX must be finite and greater than 0, not \"1e-400\""},
      {"spread whose peak overflows", "mx,dx,my,dy\n7,2,12,2.219190097936194e-309\n",
       "p.csv:2:8: DY is too small: the blob's peak density would overflow a double (DY must be "
       "at least about 2.2e-309), not \"2.219190097936194e-309\""},
      {"input over 64 MiB", "mx,dx,my,dy\n" + std::string(kPhantomMaxBytes, '\n'),
       "p.csv: larger than 64 MiB"},
      {"NaN spread", "mx,dx,my,dy\n7,2,12,nan\n",
       "p.csv:2:8: DY must be finite and greater than 0, not \"nan\""},
      {"infinite mean", "mx,dx,my,dy\n-infinity,2,12,2\n",
       "p.csv:2:1: MX must be finite, not \"-infinity\""},
      {"mean beyond the range", "mx,dx,my,dy\n7,2,-1e999999,2\n",
       "p.csv:2:5: MY must be finite, not \"-1e999999\""},
      {"NaN mean", "mx,dx,my,dy\nNaN,2,12,2\n", "p.csv:2:1: MX must be finite, not \"NaN\""},
      {"bad flag", "mx,dx,my,dy,enabled\n7,2,12,2,yes\n",
       "p.csv:2:10: enabled must be 1, 0, true or false, not \"yes\""},
      {"not UTF-8", "mx,dx,my,dy\n# caf\xE9\n", "p.csv:2:6: not UTF-8 text"},
      {"overlong form", "mx,dx,my,dy\n7,\xC0\xAE,12,2\n", "p.csv:2:3: not UTF-8 text"},
      {"surrogate", "mx,dx,my,dy\n\xED\xA0\x80\n", "p.csv:2:1: not UTF-8 text"},
      {"truncated sequence", "mx,dx,my,dy\n7,2,12,2\xE2\x82", "p.csv:2:9: not UTF-8 text"},
      {"line over 4096 bytes", longLine, "p.csv:2:1: line longer than 4096 bytes"},
      {"more than 10000 blobs", manyBlobs, "p.csv:10002:1: more than 10000 blobs"},
  };
  for (const auto& c : cases) EXPECT_EQ(Message(c.text), c.message) << c.name;
  // 4096 bytes before the CR are allowed, and 10000 blobs.
  EXPECT_EQ(ParsePhantom(longestLine, "p.csv").size(), 1u);
  manyBlobs.resize(manyBlobs.size() - 8);
  EXPECT_EQ(ParsePhantom(manyBlobs, "p.csv").size(), 10000u);
}

class PhantomFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quarvel-phantom-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string dir;
};

TEST_F(PhantomFileOnDisk, ReadsAsFromMemoryAcrossReadBoundaries) {
  // Long enough to cross the reader's pieces, with a CRLF split between two of them.
  std::string text = "mx,dx,my,dy,enabled\r\n";
  for (int i = 0; i < 5000; ++i)
    text += "# padding padding padding\r\n" + std::to_string(i) + ".5,1,2,3,0\r\n";
  const std::string path = Write("big.csv", text);
  const auto fromFile = ReadPhantomFile(path);
  const auto fromMemory = ParsePhantom(text, path);
  ASSERT_EQ(fromFile.size(), 5000u);
  ASSERT_EQ(fromMemory.size(), 5000u);
  EXPECT_EQ(fromFile[4999].MX, 4999.5);
  EXPECT_FALSE(fromFile[4999].Enabled);
}

// 64 MiB is taken, from memory and from a file; one byte more is refused.
TEST_F(PhantomFileOnDisk, TheSizeCapIsInclusive) {
  const std::string header = "mx,dx,my,dy\n7,2,12,2\n";
  const std::string comment = "#" + std::string(4094, ' ') + "\n";  // 4096 bytes
  std::string text = header;
  while (text.size() + comment.size() <= kPhantomMaxBytes) text += comment;
  text += "#" + std::string(kPhantomMaxBytes - text.size() - 2, ' ') + "\n";
  ASSERT_EQ(text.size(), kPhantomMaxBytes);
  EXPECT_EQ(ParsePhantom(text, "cap.csv").size(), 1u);
  EXPECT_EQ(ReadPhantomFile(Write("cap.csv", text)).size(), 1u);
  const std::string over = text + "\n";
  EXPECT_THROW(ParsePhantom(over, "over.csv"), EPhantomError);
  EXPECT_THROW(ReadPhantomFile(Write("over.csv", over)), EPhantomError);
}

TEST_F(PhantomFileOnDisk, UnreadableAndEndlessInputsFailWithTheirReason) {
  auto messageOf = [](const std::string& path) {
    try {
      ReadPhantomFile(path);
    } catch (const EPhantomError& e) {
      return e.Message();
    }
    return std::string("(accepted)");
  };
  EXPECT_EQ(messageOf(dir + "/missing.csv"),
            dir + "/missing.csv: cannot read: No such file or directory");
  EXPECT_EQ(messageOf(dir), dir + ": cannot read: Is a directory");
  // A first line of a byte-order mark and 4096 bytes is still one line, wherever the
  // reads split it.
  const std::string bomLine =
      Write("bom.csv", "\xEF\xBB\xBF" + std::string(4096 - 11, ' ') + "mx,dx,my,dy\n7,2,12,2\n");
  EXPECT_EQ(ReadPhantomFile(bomLine).size(), 1u);
  // An input without line ends fails once it is past the longest line, not at its end.
  const std::string fifo = dir + "/endless";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  FILE* writer = popen(("head -c 100000000 /dev/zero > '" + fifo + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(messageOf(fifo), fifo + ":1:1: line longer than 4096 bytes");
  pclose(writer);
  // Nor does an endless input of comments: it ends at the size limit.
  FILE* comments = popen(("yes '#' > '" + fifo + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(comments, nullptr);
  EXPECT_EQ(messageOf(fifo), fifo + ": larger than 64 MiB");
  pclose(comments);
  if (geteuid() != 0) {
    const std::string secret = Write("secret.csv", "mx,dx,my,dy\n");
    chmod(secret.c_str(), 0);
    EXPECT_EQ(messageOf(secret), secret + ": cannot read: Permission denied");
  }
}

}  // namespace
}  // namespace quarvel
