#include "tests/ui/program/XvfbScreen.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace orvane::test {
namespace {

std::uint32_t BigEndian(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

int Shift(std::uint32_t mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

XvfbScreen::XvfbScreen(const std::filesystem::path& folder, int width, int height) : folder_(folder) {
    std::filesystem::create_directories(folder_);
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string displayFd = std::to_string(fds[1]);
    const std::string fbdir = folder_.string();
    server_ = fork();
    if (server_ == 0) {
        close(fds[0]);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", screen.c_str(), "-fbdir",
               fbdir.c_str(), "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (server_ < 0) {
        close(fds[0]);
        return;
    }
    // The server writes its display number once it listens.
    std::string number;
    pollfd waitFor{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (poll(&waitFor, 1, 200) > 0) {
            char buffer[32];
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
    }
    close(fds[0]);
    if (!number.empty() && number.find('\n') != std::string::npos) display_ = std::stoi(number);
}

XvfbScreen::~XvfbScreen() {
    if (server_ > 0) Stop(server_);
}

QImage XvfbScreen::Grab() const {
    std::ifstream in(folder_ / "Xvfb_screen0", std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 100) return QImage();
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    auto field = [&](int index) { return BigEndian(bytes + 4 * index); };
    const std::uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7);
    const std::uint32_t bitsPerPixel = field(11), bytesPerLine = field(12);
    const std::uint32_t redMask = field(14), greenMask = field(15), blueMask = field(16), colours = field(19);
    const size_t offset = size_t(headerSize) + size_t(colours) * 12;
    if (bitsPerPixel != 32 || width == 0 || height == 0 || data.size() < offset + size_t(bytesPerLine) * height) {
        return QImage();
    }
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (std::uint32_t y = 0; y < height; ++y) {
        const unsigned char* line = bytes + offset + size_t(y) * bytesPerLine;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned char* p = line + 4 * x;
            const std::uint32_t v = byteOrder == 0 ? (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                                                      std::uint32_t(p[1]) << 8 | p[0])
                                                   : BigEndian(p);
            out[x] = qRgb(int((v & redMask) >> Shift(redMask)), int((v & greenMask) >> Shift(greenMask)),
                          int((v & blueMask) >> Shift(blueMask)));
        }
    }
    return image;
}

pid_t XvfbScreen::Launch(const std::string& program, const std::map<std::string, std::string>& environment,
                        const std::filesystem::path& standardOutput, const std::filesystem::path& standardError) const {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const size_t equals = text.find('=');
        if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    merged["DISPLAY"] = Display();
    merged["QT_QPA_PLATFORM"] = "xcb";
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> texts;
    for (const auto& [name, value] : merged) texts.push_back(name + "=" + value);
    // Everything the child needs is built before the fork: it only calls exec.
    std::vector<char*> envp;
    for (std::string& text : texts) envp.push_back(text.data());
    envp.push_back(nullptr);
    auto openOutput = [](const std::filesystem::path& path) {
        return path.empty() ? -1 : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    };
    const int out = openOutput(standardOutput), err = openOutput(standardError);
    const pid_t pid = fork();
    if (pid == 0) {
        if (out >= 0) dup2(out, STDOUT_FILENO);
        if (err >= 0) dup2(err, STDERR_FILENO);
        execle(program.c_str(), program.c_str(), static_cast<char*>(nullptr), envp.data());
        _exit(127);
    }
    if (out >= 0) close(out);
    if (err >= 0) close(err);
    return pid;
}

void XvfbScreen::Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace orvane::test
