#include "platform/TextIO.h"
#include "platform/Dialogs.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace za {
namespace {

// Runs body in a child process and returns its exit code (or -1 when it died).
template <typename Body> int InChild(Body body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(TextIOTest, WriteToClosedStdoutGives105) {
    EXPECT_EQ(InChild([] {
                  close(STDOUT_FILENO);
                  return WriteLnStdout(u"Exception: boom");
              }),
              105);
}

TEST(TextIOTest, WriteToReadOnlyStdoutGives105) {
    EXPECT_EQ(InChild([] {
                  const int fd = open("/dev/null", O_RDONLY);
                  dup2(fd, STDOUT_FILENO);
                  return WriteLnStdout(u"x");
              }),
              105);
}

TEST(TextIOTest, BrokenPipeGives105WithoutDying) {
    EXPECT_EQ(InChild([] {
                  int p[2];
                  if (pipe(p) != 0) {
                      return 99;
                  }
                  close(p[0]); // nobody reads
                  dup2(p[1], STDOUT_FILENO);
                  return WriteLnStdout(u"Exception: boom");
              }),
              105);
}

TEST(TextIOTest, WritesLineAndReadsLine) {
    int out[2], in[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(write(in[1], "typed line\nmore", 15), 15);
    close(in[1]);
    const int code = InChild([&] {
        dup2(out[1], STDOUT_FILENO);
        dup2(in[0], STDIN_FILENO);
        const int w = WriteLnStdout(u"Exception: Привет");
        const int r1 = ReadLnStdin(); // the line
        const int r2 = ReadLnStdin(); // "more" up to the end
        const int r3 = ReadLnStdin(); // end of input: at once
        return w * 1000 + r1 * 100 + r2 * 10 + r3;
    });
    close(out[1]);
    close(in[0]);
    EXPECT_EQ(code, 0);
    char buf[64] = {};
    const ssize_t n = read(out[0], buf, sizeof buf);
    close(out[0]);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "Exception: Привет\n");
}

TEST(TextIOTest, ClosedStdinReturnsAtOnce) {
    EXPECT_EQ(InChild([] {
                  close(STDIN_FILENO);
                  return ReadLnStdin();
              }),
              104);
}

TEST(TerminalDialogsTest, NoTerminalMeansClosedBoxes) {
    EXPECT_EQ(InChild([] {
                  setsid(); // no controlling terminal from here on
                  TTerminalDialogs t;
                  std::u16string value = u"v";
                  const bool pw = t.PasswordDialog(u"c", u"p", value);
                  const TModalResult r = t.MessageDlg(u"q", mtConfirmation, mbOKCancel);
                  return (r == mrClosed && !pw && value == u"v") ? 0 : 1;
              }),
              0);
}

} // namespace
} // namespace za

namespace za {
namespace {

// Reads from the pty master until the text appears (or a few seconds pass).
bool WaitFor(int master, std::string& seen, const std::string& text, int rounds = 300) {
    for (int i = 0; i < rounds && seen.find(text) == std::string::npos; ++i) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            char buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            seen.append(buf, static_cast<size_t>(n));
        }
    }
    return seen.find(text) != std::string::npos;
}

TEST(TerminalDialogsTest, AnswersOnTheTerminalAndHidesThePassword) {
    int master = -1;
    fflush(nullptr);
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        TTerminalDialogs t;
        const TModalResult r = t.MessageDlg(u"Overwrite file \"b\" with \"a\"", mtConfirmation,
                                            mbYesNoNoToAllYesToAll);
        std::u16string pw = u"";
        const bool ok = t.PasswordDialog(u"Password for \"x.txt\"", u"Enter password: ", pw);
        _exit(r == mrNoToAll && ok && pw == u"Секрет" ? 0 : 1);
    }
    std::string seen;
    EXPECT_TRUE(WaitFor(master, seen, "Yes to all (ya)? "));
    EXPECT_NE(seen.find("Overwrite file \"b\" with \"a\""), std::string::npos);
    EXPECT_EQ(seen.find("OK (o)"), std::string::npos); // only the buttons of the set
    ASSERT_EQ(write(master, "what\n", 5), 5);          // not a button: asked again
    seen.clear();
    EXPECT_TRUE(WaitFor(master, seen, "Yes to all (ya)? "));
    ASSERT_EQ(write(master, "NA\n", 3), 3);
    seen.clear();
    EXPECT_TRUE(WaitFor(master, seen, "Enter password: "));
    EXPECT_NE(seen.find("Password for \"x.txt\""), std::string::npos);
    const std::string secret = "Секрет\n";
    ASSERT_EQ(write(master, secret.data(), secret.size()), static_cast<ssize_t>(secret.size()));
    // Wait at most a few seconds; a child stuck on the terminal is killed.
    int status = 0;
    pid_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done == 0 && std::chrono::steady_clock::now() < deadline) {
        WaitFor(master, seen, "\x01", 1); // drains the output
        done = waitpid(pid, &status, WNOHANG);
        if (done == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "terminal dialog did not finish; output: " << seen;
    }
    close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(seen.find("Секрет"), std::string::npos) << "password echoed: " << seen;
}

} // namespace
} // namespace za
