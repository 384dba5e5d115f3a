#include "io/byte_stream.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/error.hpp"

namespace vlt::io {

namespace {

std::string reason() { return std::strerror(errno); }

[[noreturn]] void fail_open(const std::string& path, const char* what) {
    fail(VLT_RES_ERR_FILE_OPEN, "Cannot " + std::string(what) + " '" + path + "': " + reason());
}

// A temporary file beside `path`, created like fopen would (mode 0666 less
// the umask), or -1 with errno set.
int create_temp_beside(const std::string& path, std::string& temp_path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_path = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

// ------------------------------------------------------------------ FileSink

FileSink::FileSink(const std::string& path) : path_(path) {
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    const bool replace = !exists || S_ISREG(st.st_mode);
    if (replace) {
        const int fd = create_temp_beside(path, temp_path_);
        if (fd < 0) fail_open(path, "create a file beside");
        if (exists) (void)::fchmod(fd, st.st_mode & 07777);  // the file keeps its permissions
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            ::unlink(temp_path_.c_str());
            fail_open(path, "write");
        }
    } else {
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_) fail_open(path, "write");
    }
    std::setvbuf(file_, nullptr, _IOFBF, size_t{1} << 16);
}

FileSink::~FileSink() {
    if (!file_) return;
    std::fclose(file_);
    if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void FileSink::write(const void* data, size_t size) {
    if (size == 0) return;
    if (std::fwrite(data, 1, size, file_) != size)
        fail(VLT_RES_ERR_FILE_WRITE, "Cannot write '" + path_ + "': " + reason());
}

void FileSink::finish() {
    std::FILE* f = std::exchange(file_, nullptr);
    const bool flushed = std::fflush(f) == 0;
    const int flush_errno = errno;
    const bool closed = std::fclose(f) == 0;
    if (!flushed || !closed) {
        errno = flushed ? errno : flush_errno;
        const std::string why = reason();
        if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
        fail(VLT_RES_ERR_FILE_WRITE, "Cannot write '" + path_ + "': " + why);
    }
    if (!temp_path_.empty() && std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        const std::string why = reason();
        ::unlink(temp_path_.c_str());
        fail(VLT_RES_ERR_FILE_WRITE, "Cannot replace '" + path_ + "': " + why);
    }
}

// ---------------------------------------------------------------- HandleSink

void HandleSink::write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const size_t take = std::min(size, kChunk - buffer_.size());
        buffer_.append(p, take);
        p += take;
        size -= take;
        if (buffer_.size() == kChunk) flush();
    }
}

void HandleSink::flush() {
    if (buffer_.empty()) return;
    const size_t taken = func_(handle_, buffer_.data(), buffer_.size());
    if (taken != buffer_.size())
        fail(VLT_RES_ERR_FILE_WRITE, "The write function took " + std::to_string(taken) + " of " +
                                         std::to_string(buffer_.size()) + " bytes");
    buffer_.clear();
}

// -------------------------------------------------------------- BufferedSink

void BufferedSink::write(const void* data, size_t size) {
    if (buffer_.size() + size <= capacity_) {
        buffer_.append(static_cast<const char*>(data), size);
        return;
    }
    if (!buffer_.empty()) {
        next_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    if (size >= capacity_)
        next_.write(data, size);
    else
        buffer_.append(static_cast<const char*>(data), size);
}

void BufferedSink::finish() {
    if (!buffer_.empty()) next_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    next_.finish();
}

// ---------------------------------------------------------------- InputBytes

struct InputBytes::Owner {
    std::string text;
    std::unique_ptr<char[]> raw;
};

InputBytes InputBytes::view(std::string_view bytes) {
    InputBytes in;
    in.bytes_ = bytes;
    return in;
}

InputBytes InputBytes::own(std::string bytes) {
    InputBytes in;
    in.owner_ = std::make_shared<Owner>();
    in.owner_->text = std::move(bytes);
    in.bytes_ = in.owner_->text;
    return in;
}

InputBytes InputBytes::map_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail_open(path, "open");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) fail(VLT_RES_ERR_FILE_READ, "Cannot read '" + path + "': " + reason());
    if (S_ISDIR(st.st_mode)) fail(VLT_RES_ERR_FILE_OPEN, "Cannot open '" + path + "': it is a directory");

    InputBytes in;
    in.owner_ = std::make_shared<Owner>();
    // A regular file is read into a buffer of its size (one byte more, so
    // that the read which finds its end needs no new buffer), without
    // zero-filling; anything else (pipes, devices, files that report no
    // size) is read in growing steps until it ends.
    size_t capacity = S_ISREG(st.st_mode) && st.st_size > 0 ? size_t(st.st_size) + 1 : size_t{1} << 16;
    std::unique_ptr<char[]> buffer(new char[capacity]);
    size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::unique_ptr<char[]> bigger(new char[capacity * 2]);
            std::memcpy(bigger.get(), buffer.get(), used);
            buffer = std::move(bigger);
            capacity *= 2;
        }
        const ssize_t got = ::read(fd, buffer.get() + used, capacity - used);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            fail(VLT_RES_ERR_FILE_READ, "Cannot read '" + path + "': " + reason());
        }
        used += size_t(got);
    }
    in.owner_->raw = std::move(buffer);
    in.bytes_ = std::string_view(in.owner_->raw.get(), used);
    return in;
}

}  // namespace vlt::io
