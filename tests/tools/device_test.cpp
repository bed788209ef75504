// Runs the built varnolix-device and talks to its port like the program does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::literals;
using Clock = std::chrono::steady_clock;

const std::string kIdentification = "Varnolix virtual modem 1.0\r\nOK\r\n";

template <typename Condition> bool waitFor(Condition condition, Clock::duration timeout = 5s) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Reads until `size` bytes arrived, the other end closed or the deadline passed.
std::string readFor(int fd, size_t size, Clock::duration timeout = 5s) {
    std::string data;
    std::vector<char> buffer(65536);
    const auto deadline = Clock::now() + timeout;
    while (data.size() < size && Clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, int(left.count())) <= 0)
            break;
        const ssize_t n = read(fd, buffer.data(), std::min(buffer.size(), size - data.size()));
        if (n <= 0)
            break;
        data.append(buffer.data(), size_t(n));
    }
    return data;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A port end opened and set raw the way the program does it.
struct Port {
    explicit Port(const std::string& path)
        : fd(open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios raw{};
        if (fd >= 0 && tcgetattr(fd, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(fd, TCSANOW, &raw);
        }
    }
    ~Port() {
        if (fd >= 0)
            close(fd);
    }
    Port(const Port&) = delete;

    // Sends the data and returns up to replySize bytes received in answer.
    std::string exchange(const std::string& data, size_t replySize) const {
        if (write(fd, data.data(), data.size()) != ssize_t(data.size()))
            return "(write failed)";
        return readFor(fd, replySize);
    }

    const int fd;
};

class Device {
public:
    explicit Device(std::vector<std::string> args) {
        args.insert(args.begin(), VARNOLIX_DEVICE);
        std::vector<char*> argv(args.size() + 1, nullptr);
        std::transform(args.begin(), args.end(), argv.begin(), [](auto& a) { return a.data(); });
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        while (!port_.ends_with('\n')) {
            const std::string c = readFor(out[0], 1);
            if (c.empty())
                break;
            port_ += c;
        }
        if (!port_.empty())
            port_.pop_back();
        // The device must keep serving after whoever started it stops reading its output.
        close(out[0]);
    }
    ~Device() { stop(SIGKILL); }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const std::string& port() const { return port_; }

    bool running() {
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_)
            pid_ = -1;
        return pid_ > 0;
    }

    // Returns the exit status, or -1 if it did not exit normally.
    int waitForExit(Clock::duration timeout = 5s) {
        if (!waitFor([this] { return !running(); }, timeout))
            return -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    int stop(int signal) {
        if (pid_ > 0)
            kill(pid_, signal);
        return waitForExit();
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::string port_;
};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "varnolix-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

TEST_F(DeviceTest, ModemAnswersEachLine) {
    Device device({});
    ASSERT_TRUE(device.port().starts_with("/dev/")) << device.port();
    Port port(device.port());
    ASSERT_GE(port.fd, 0);

    // Each reply is read with exactly its length, so a stray byte from one exchange
    // shows up at the start of the next.
    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {"ATI\r", kIdentification},   {"AT+X\n", "OK\r\n"}, {"hello\n", "ERROR\r\n"},
        {"ati\r\n", kIdentification}, {"\r\n\n\r", ""},     {"AT", ""},
        {"&F\r", "OK\r\n"},           {"ATIX\r", "OK\r\n"}, {"\0AT\r"s, "ERROR\r\n"},
        {"at\r", "OK\r\n"},
    };
    for (const auto& [command, reply] : exchanges)
        EXPECT_EQ(port.exchange(command, reply.size()), reply) << "after " << command;
}

TEST_F(DeviceTest, KeepsServingWhenThePortIsReopened) {
    Device device({"--link", dir_ / "port"});
    EXPECT_EQ(std::filesystem::read_symlink(dir_ / "port"), device.port());
    for (int round = 0; round < 3; ++round) {
        const Port port(dir_ / "port");
        EXPECT_EQ(port.exchange("AT\r", 4), "OK\r\n") << "round " << round;
    }
    EXPECT_TRUE(device.running());
}

TEST_F(DeviceTest, StopSignalsExitCleanlyAndRemoveTheLink) {
    for (const int signal : {SIGINT, SIGTERM}) {
        Device device({"--link", dir_ / "port"});
        ASSERT_TRUE(std::filesystem::is_symlink(dir_ / "port"));
        EXPECT_EQ(device.stop(signal), 0) << "signal " << signal;
        EXPECT_FALSE(std::filesystem::is_symlink(dir_ / "port")) << "signal " << signal;
    }
}

TEST_F(DeviceTest, EchoReturnsEveryByteAndTheLogAppendsThem) {
    std::string data(256, '\0');
    std::iota(data.begin(), data.end(), 0);
    std::shuffle(data.begin(), data.end(), std::mt19937(7));
    const auto log = dir_ / "log";
    std::ofstream(log) << "earlier\n";
    Device device({"--echo", "--log", log});
    const Port port(device.port());

    EXPECT_EQ(port.exchange(data, data.size()), data);
    EXPECT_TRUE(waitFor([&] { return readFile(log) == "earlier\n" + data; }));
}

TEST_F(DeviceTest, StreamDeliversTheFileExactly) {
    std::string content(1 << 20, '\0');
    std::generate(content.begin(), content.end(), std::mt19937(42));
    const auto file = dir_ / "stream";
    std::ofstream(file, std::ios::binary) << content;

    struct Case {
        std::vector<std::string> extra;
        int repeat;
        bool exits;
    };
    const std::vector<Case> cases = {
        {{}, 1, false},
        {{"--wait-open"}, 1, false},
        {{"--repeat", "3"}, 3, false},
        {{"--wait-open", "--exit-after-stream", "--repeat", "2"}, 2, true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--stream", file};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        Device device(args);
        std::string expected;
        for (int i = 0; i < c.repeat; ++i)
            expected += content;

        const Port port(device.port());
        const std::string received = readFor(port.fd, expected.size(), 30s);
        // A byte-for-byte compare would print megabytes on failure.
        EXPECT_EQ(received.size(), expected.size()) << "case " << &c - cases.data();
        EXPECT_TRUE(received == expected) << "case " << &c - cases.data();
        if (c.exits)
            EXPECT_EQ(device.waitForExit(), 0);
        else
            EXPECT_TRUE(device.running());
    }
}

TEST_F(DeviceTest, RejectsBadArguments) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--repeat", "0"}, {"--stream"}, {"--stream", dir_ / "missing"}}) {
        Device device(args);
        EXPECT_EQ(device.port(), "");
        EXPECT_NE(device.waitForExit(), 0) << args.front();
    }
}

} // namespace
