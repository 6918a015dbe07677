#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "math/log.h"

namespace {

using quorvel::LogSink;

void Capture(const char* line, void* user) { static_cast<std::vector<std::string>*>(user)->emplace_back(line); }

// Every test runs with a capturing sink and leaves the default sink and the
// newline switch as it found them.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { quorvel::LogSetSink(&Capture, &lines_); }
  void TearDown() override {
    quorvel::LogResetSink();
    quorvel::LogSetAppendNewline(false);
  }
  std::vector<std::string> lines_;
};

TEST_F(LogTest, FormatsWithPrintfRulesIntoOneLinePerCall) {
  quorvel::LogPrintf("pose_id(%d) %s %.2f %08x", 3, "mt0", 1.5, 0xbeefu);
  quorvel::LogPrintf("second");
  EXPECT_EQ(lines_, (std::vector<std::string>{"pose_id(3) mt0 1.50 0000beef", "second"}));
}

TEST_F(LogTest, LinesAreTruncatedTo1023Characters) {
  for (std::size_t len : {std::size_t{0}, std::size_t{1022}, std::size_t{1023}, std::size_t{1024},
                          std::size_t{5000}}) {
    SCOPED_TRACE(len);
    std::string text;
    for (std::size_t i = 0; i < len; ++i) text.push_back(char('a' + i % 26));
    lines_.clear();
    quorvel::LogPrintf("%s", text.c_str());
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0], text.substr(0, 1023));
  }
}

TEST_F(LogTest, NewlineSwitchAppendsWithinTheLimit) {
  quorvel::LogSetAppendNewline(true);
  EXPECT_TRUE(quorvel::LogAppendNewline());
  quorvel::LogPrintf("abc %d", 1);
  const std::string long_text(3000, 'x');
  quorvel::LogPrintf("%s", long_text.c_str());
  quorvel::LogSetAppendNewline(false);
  quorvel::LogPrintf("abc %d", 2);
  ASSERT_EQ(lines_.size(), 3u);
  EXPECT_EQ(lines_[0], "abc 1\n");
  EXPECT_EQ(lines_[1], std::string(1022, 'x') + "\n");
  EXPECT_EQ(lines_[2], "abc 2");
}

TEST_F(LogTest, MatrixPrintsFourLabelledRows) {
  FMATRIX m;
  for (int i = 0; i < 16; ++i) m.m[i] = float(i + 1);
  m(2, 3) = -0.5f;
  quorvel::LogMatrix(m, "mt%d", 1);
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        "mt1[0] (1.000000,2.000000,3.000000,4.000000)",
                        "mt1[1] (5.000000,6.000000,7.000000,8.000000)",
                        "mt1[2] (9.000000,10.000000,11.000000,-0.500000)",
                        "mt1[3] (13.000000,14.000000,15.000000,16.000000)",
                    }));
}

TEST_F(LogTest, TableVectorAndQuaternionFormats) {
  const FVECTOR2 table[3] = {{1, 2}, {3.25f, -4}, {0, 0.125f}};
  quorvel::LogTable2D(table, "%s-%c", "uv", 'A');
  quorvel::LogVector4(FVECTOR4(1, -2, 3.5f, 0), "v%d", 4);
  quorvel::LogQuat(FQUAT(0, 0, 0.5f, -1), "rot");
  EXPECT_EQ(lines_, (std::vector<std::string>{
                        "uv-A[0] (1.000000,2.000000)",
                        "uv-A[1] (3.250000,-4.000000)",
                        "uv-A[2] (0.000000,0.125000)",
                        "v4 (1.000000,-2.000000,3.500000,0.000000)",
                        "rot (0.000000,0.000000,0.500000,-1.000000)",
                    }));
}

TEST_F(LogTest, MatrixRowsWithAnOverlongLabelStayWithinTheLimit) {
  const std::string label(2000, 'L');
  quorvel::LogMatrix(FMATRIX::kIdentity, "%s", label.c_str());
  ASSERT_EQ(lines_.size(), 4u);
  for (const std::string& line : lines_) EXPECT_EQ(line, std::string(1023, 'L'));
}

TEST_F(LogTest, SinkCanBeSwappedAndResetToTheDefault) {
  std::vector<std::string> other;
  const LogSink previous = quorvel::LogSetSink(&Capture, &other);
  EXPECT_EQ(previous.callback, &Capture);
  EXPECT_EQ(previous.user, &lines_);
  quorvel::LogPrintf("to other");
  EXPECT_EQ(other, std::vector<std::string>{"to other"});
  EXPECT_TRUE(lines_.empty());

  // A null callback means the default sink; the user pointer goes with it.
  quorvel::LogSetSink(nullptr, &other);
  EXPECT_EQ(quorvel::LogGetSink().callback, &quorvel::LogDefaultCallback);
  EXPECT_EQ(quorvel::LogGetSink().user, nullptr);
  quorvel::LogSetSink(&Capture, &other);
  quorvel::LogResetSink();
  EXPECT_EQ(quorvel::LogGetSink().callback, &quorvel::LogDefaultCallback);
  quorvel::LogPrintf("to the debugger");
  EXPECT_EQ(other, std::vector<std::string>{"to other"});
}

}  // namespace
