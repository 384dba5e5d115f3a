// Where the writers put their bytes and where the readers find them.
//
// Every writer produces its output through a Sink: a file, a string in
// memory, or a caller's write function (VLT_writedatahandle), possibly behind
// a compressing filter (compression.hpp).  Every reader works on the whole
// input as one run of bytes in memory (InputBytes): a plain file is mapped,
// a compressed one decompressed, a caller's text or buffer used in place.
//
// Failures throw vlt::Error: VLT_RES_ERR_FILE_OPEN when a file cannot be
// opened or made, VLT_RES_ERR_FILE_READ / VLT_RES_ERR_FILE_WRITE when reading
// or writing fails, each message naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "velto.h"

namespace vlt::io {

class Sink {
public:
    virtual ~Sink() = default;
    virtual void write(const void* data, size_t size) = 0;
    void write(std::string_view text) { write(text.data(), text.size()); }
    // Hands on everything still buffered; a sink that is destroyed without
    // finish() was abandoned (a file sink then removes what it wrote).
    virtual void finish() {}
};

// Appends to a string.
class StringSink final : public Sink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    void write(const void* data, size_t size) override { out_.append(static_cast<const char*>(data), size); }

private:
    std::string& out_;
};

// Writes a file.  A regular file is written under a temporary name beside it
// and renamed over the target by finish(), so that a write that fails half
// way leaves an existing file as it was; other targets (devices, pipes) are
// written in place.
class FileSink final : public Sink {
public:
    explicit FileSink(const std::string& path);
    ~FileSink() override;
    void write(const void* data, size_t size) override;
    void finish() override;

private:
    std::string path_, temp_path_;
    std::FILE* file_ = nullptr;
};

// Hands the output in chunks of at most kChunk bytes to a caller's write
// function, which must take each whole chunk.
class HandleSink final : public Sink {
public:
    static constexpr size_t kChunk = size_t{1} << 16;
    HandleSink(VLThwritefunc func, void* handle) : func_(func), handle_(handle) {}
    void write(const void* data, size_t size) override;
    void finish() override { flush(); }

private:
    void flush();
    VLThwritefunc func_;
    void* handle_;
    std::string buffer_;
};

// Buffers small writes in front of another sink.
class BufferedSink final : public Sink {
public:
    explicit BufferedSink(Sink& next, size_t capacity = size_t{1} << 16) : next_(next), capacity_(capacity) {
        buffer_.reserve(capacity);
    }
    void write(const void* data, size_t size) override;
    void finish() override;

private:
    Sink& next_;
    size_t capacity_;
    std::string buffer_;
};

// The most items a file of `size` bytes may declare without listing them one
// by one (affine expressions without entries, rows of a cone without
// coefficients): 2^20, or 256 per byte of the file when that is more.  Real
// files list nearly every item they declare; a tiny file declaring billions
// would make a reader allocate gigabytes for nothing.
inline int64_t declared_items_budget(size_t size) {
    return std::max<int64_t>(int64_t{1} << 20, int64_t(std::min<size_t>(size, size_t{1} << 40)) * 256);
}

// The whole input of a reader.  It owns what it shows: a mapped file or a
// buffer; or it views a caller's bytes, which must outlive it.
class InputBytes {
public:
    InputBytes() = default;
    static InputBytes view(std::string_view bytes);
    static InputBytes own(std::string bytes);
    // Maps (or reads) a file; VLT_RES_ERR_FILE_OPEN / VLT_RES_ERR_FILE_READ.
    static InputBytes map_file(const std::string& path);

    std::string_view bytes() const { return bytes_; }

private:
    struct Owner;
    std::shared_ptr<Owner> owner_;
    std::string_view bytes_;
};

}  // namespace vlt::io
