#include "tools/render_tool/wav_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace xmrender {

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrameBytes = 4;
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

// Little-endian fields and tags, written in order into a fixed header.
class HeaderWriter {
  public:
    explicit HeaderWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Tag(const char (&text)[5]) {
        for (int i = 0; i < 4; ++i) bytes_[at_++] = static_cast<uint8_t>(text[i]);
    }
    void U16(uint32_t v) {
        bytes_[at_++] = static_cast<uint8_t>(v);
        bytes_[at_++] = static_cast<uint8_t>(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }

  private:
    std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

std::string Errno() {
    return std::strerror(errno);
}

// Writes all of `bytes`, through short writes and interruptions.
bool WriteAll(int fd, const uint8_t* data, size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = write(fd, data, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

// The mode a new file gets: what the umask allows of rw-rw-rw-.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::vector<uint8_t> WavHeader(std::optional<uint32_t> frames) {
    const uint32_t data = frames ? *frames * kFrameBytes : kUnknownSize;
    const uint32_t riff = frames ? 36 + data : kUnknownSize;
    std::vector<uint8_t> bytes(44);
    HeaderWriter h(bytes);
    h.Tag("RIFF");
    h.U32(riff);
    h.Tag("WAVE");
    h.Tag("fmt ");
    h.U32(16);
    h.U16(1);  // PCM
    h.U16(2);
    h.U32(kRate);
    h.U32(kRate * kFrameBytes);
    h.U16(kFrameBytes);
    h.U16(16);
    h.Tag("data");
    h.U32(data);
    return bytes;
}

std::unique_ptr<WavOutput> WavOutput::Open(const std::string& path,
                                           std::optional<uint32_t> knownFrames,
                                           std::string& error) {
    std::unique_ptr<WavOutput> out(new WavOutput());
    if (!out->Place(path, knownFrames, error)) return nullptr;
    const auto header = WavHeader(out->headerFrames_);
    if (!out->Write(header.data(), header.size(), error)) return nullptr;
    return out;
}

bool WavOutput::Place(const std::string& path, std::optional<uint32_t> knownFrames,
                      std::string& error) {
    if (path == "-") {
        if (isatty(STDOUT_FILENO)) {
            error = "standard output is a terminal; pipe it to a player or redirect it to a file";
            return false;
        }
        fd_ = STDOUT_FILENO;
        headerFrames_ = knownFrames;
        struct stat info {};
        const off_t at = lseek(fd_, 0, SEEK_CUR);
        if (!knownFrames && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && at >= 0 &&
            (fcntl(fd_, F_GETFL) & O_APPEND) == 0)
            rewriteAt_ = at;
        return true;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        struct stat link {};
        if (errno == ENOENT && lstat(path.c_str(), &link) == 0) {
            error = "is a symbolic link to nothing; not written";
            return false;
        }
        info.st_mode = 0;  // a new file
    } else if (S_ISDIR(info.st_mode)) {
        error = "is a directory";
        return false;
    } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
        // Written in place: a device or FIFO is the destination itself, never to be replaced.
        fd_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot open: " + Errno();
            return false;
        }
        ownsFd_ = true;
        headerFrames_ = knownFrames;
        return true;
    } else if (!S_ISREG(info.st_mode)) {
        error = "is neither a file, a FIFO nor a character device; not written";
        return false;
    }

    // A regular file, new or to be replaced: through a temporary file beside it. A symbolic link
    // keeps pointing where it did: the file it names is the one replaced.
    target_ = path;
    if (info.st_mode != 0) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
    }
    std::string pattern = target_ + ".XXXXXX";
    fd_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot create: " + Errno();
        return false;
    }
    ownsFd_ = true;
    temp_ = pattern;
    headerFrames_ = knownFrames;
    fchmod(fd_, info.st_mode != 0 ? info.st_mode & 07777 : NewFileMode());
    rewriteAt_ = 0;
    return true;
}

WavOutput::~WavOutput() {
    if (ownsFd_ && fd_ >= 0) close(fd_);
    if (!temp_.empty()) unlink(temp_.c_str());
}

bool WavOutput::Write(const void* data, size_t bytes, std::string& error) {
    if (WriteAll(fd_, static_cast<const uint8_t*>(data), bytes)) return true;
    error = "write failed: " + Errno();
    return false;
}

bool WavOutput::Finish(uint32_t frames, std::string& error) {
    if (rewriteAt_ && headerFrames_ != frames) {
        const auto header = WavHeader(frames);
        if (pwrite(fd_, header.data(), header.size(), *rewriteAt_) !=
            static_cast<ssize_t>(header.size())) {
            error = "write failed: " + Errno();
            return false;
        }
    }
    if (temp_.empty()) return true;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        error = "write failed: " + Errno();
        return false;
    }
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        error = "cannot rename the finished file into place: " + Errno();
        return false;
    }
    temp_.clear();
    return true;
}

}  // namespace xmrender
