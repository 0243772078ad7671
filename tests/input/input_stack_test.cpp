// Input stack: frame kinds, text blocks and the life of a loop frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input/input_stack.h"
#include "shell/errhdl.h"
#include "shell/parse.h"
#include "support/program_fixture.h"

namespace {

class InputStack : public ProgramTest {
protected:
    // The next setup's outcome: the line loaded, or "-" when the call produced none.
    std::string next() { return input.setup("", 0) ? std::string(P.line) : std::string("-"); }
};

TEST_F(InputStack, StartsWithTheKeyboardAndKnowsFrameKinds) {
    EXPECT_EQ(input.depth, 1);
    EXPECT_EQ(input.is_keyboard(), 1);
    ASSERT_EQ(input.push("A\0B\0", 5, nullptr, 0, nullptr, 0), 1);
    EXPECT_EQ(input.is_funct(), 1);
    EXPECT_EQ(input.is_keyboard(), 0);
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(next(), "B");
    EXPECT_EQ(next(), "-");  // the block is used up: the frame goes, that turn yields no line
    EXPECT_EQ(input.depth, 1);
}

TEST_F(InputStack, HoldHandsBackTheCurrentLine) {
    input.push("X = 1\0\0", 7, nullptr, 0, nullptr, 0);
    EXPECT_EQ(next(), "X = 1");
    P.get(0);
    input.hold = 1;
    EXPECT_EQ(input.setup("", 0), 1);
    EXPECT_EQ(input.hold, 0);
    P.get(0);
    EXPECT_STREQ(P.token, "=");  // parsing goes on where it stopped
}

TEST_F(InputStack, FalseConditionNeverRunsBodyOrStep) {
    input.push("BODY\0\0", 6, "0", 1, "STEP\0\0", 6);
    EXPECT_EQ(next(), "-");
    EXPECT_EQ(input.depth, 1);
}

TEST_F(InputStack, LoopRunsConditionBodyStepInOrder) {
    input.push("A\0B\0\0", 5, "1", 1, "S\0\0", 3);
    // Condition before the first pass, the step after each pass and never before the first.
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(next(), "B");
    EXPECT_EQ(next(), "-");  // step frame pushed
    EXPECT_EQ(input.depth, 3);
    EXPECT_EQ(next(), "S");
    EXPECT_EQ(next(), "-");  // step frame used up and removed
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(next(), "B");
    EXPECT_EQ(next(), "-");
    EXPECT_EQ(next(), "S");
    input.pop();
    input.pop();
    EXPECT_EQ(input.depth, 1);
}

// A step of no bytes is no step. Taken as one, it was due again right after it ran: the loop
// pushed and popped empty step frames without end and never reached its condition.
TEST_F(InputStack, StepOfNoBytesIsNone) {
    ASSERT_EQ(input.push("A\0\0", 3, "1", 1, "", 0), 1);
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(next(), "A");
    EXPECT_EQ(input.depth, 2);
    input.pop();
}

TEST_F(InputStack, FailingConditionEndsTheLoopWithItsError) {
    input.push("A\0\0", 3, "(", 1, nullptr, 0);
    EXPECT_EQ(next(), "-");
    EXPECT_EQ(input.depth, 1);
    EXPECT_GT(errhdl_count(), 0);
}

TEST_F(InputStack, CommandFilesLineByLine) {
    char path[] = "/tmp/velkor-input-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* f = fdopen(fd, "w");
    std::string longline(SMALLBUF_SIZE + 10, 'x');
    fprintf(f, "ONE\r\n\n%s\nLAST", longline.c_str());
    fclose(f);
    ASSERT_EQ(input.push(path, nullptr), 1);
    EXPECT_EQ(input.is_file(), 1);
    EXPECT_EQ(next(), "ONE");  // carriage return dropped
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), "-");  // too long: dropped whole
    EXPECT_EQ(errhdl_code(0), 6004);
    EXPECT_EQ(next(), "LAST");  // no newline at the end: still a line
    EXPECT_EQ(next(), "-");
    EXPECT_EQ(input.depth, 1);
    remove(path);
}

TEST_F(InputStack, MissingFilesTryTheExtensionThenReport) {
    char path[] = "/tmp/velkor-ext-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string with_ext = std::string(path) + ".pnp";
    rename(path, with_ext.c_str());
    EXPECT_EQ(input.push(path, ".pnp"), 1);
    input.pop();
    EXPECT_EQ(input.push(path, nullptr), 0);
    EXPECT_EQ(errhdl_code(0), 6003);
    EXPECT_EQ(input.depth, 1);
    remove(with_ext.c_str());
}

TEST_F(InputStack, EmptyStackReports) {
    input.unmake();
    EXPECT_EQ(input.pop(), 0);
    EXPECT_EQ(errhdl_code(0), 6002);
    EXPECT_EQ(input.deallocate(), 0);
    EXPECT_EQ(errhdl_code(1), 6001);
    EXPECT_EQ(input.setup("", 0), 0);
}

// The frame count is 16-bit: the 32,768th frame would wrap it. The push that would is refused,
// and the frames below stay as they were.
TEST_F(InputStack, FullStackRefusesThePushAndKeepsItsFrames) {
    while (input.depth < INPUT_DEPTH_MAX) ASSERT_EQ(input.push("L\0\0", 3, nullptr, 0, nullptr, 0), 1);
    EXPECT_EQ(input.push("X\0\0", 3, nullptr, 0, nullptr, 0), 0);
    EXPECT_EQ(errhdl_code(0), 6002);
    EXPECT_EQ(input.push("/dev/null", nullptr), 0);
    EXPECT_EQ(errhdl_code(1), 6002);
    EXPECT_EQ(input.depth, INPUT_DEPTH_MAX);
    EXPECT_EQ(next(), "L");  // the top frame is still the last one that fitted
    while (input.depth > 1) input.pop();
    EXPECT_EQ(input.is_keyboard(), 1);
}

// A file that runs itself runs out of file descriptors, not out of files: that is a full stack.
TEST_F(InputStack, NoFileDescriptorLeftIsAFullStack) {
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    short pushed = 0;
    while (input.push("/dev/null", ".pnp") == 1 && pushed < 100) pushed++;
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_LT(pushed, 64);
    EXPECT_EQ(errhdl_code(0), 6002);
    EXPECT_EQ(input.depth, pushed + 1);
}

// A directory opens for reading but is no command file: the name with the extension is tried.
TEST_F(InputStack, DirectoryIsNoCommandFile) {
    char dir[] = "/tmp/velkor-dir-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    EXPECT_EQ(input.push(dir, nullptr), 0);
    EXPECT_EQ(errhdl_code(0), 6003);
    EXPECT_EQ(input.depth, 1);
    std::string with_ext = std::string(dir) + ".pnp";
    FILE* fp = fopen(with_ext.c_str(), "w");
    ASSERT_NE(fp, nullptr);
    fputs("FROM EXT\n", fp);
    fclose(fp);
    ASSERT_EQ(input.push(dir, ".pnp"), 1);
    EXPECT_EQ(next(), "FROM EXT");
    input.pop();
    remove(with_ext.c_str());
    rmdir(dir);
}

}  // namespace
