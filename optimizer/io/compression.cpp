#include "io/compression.hpp"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/error.hpp"

namespace vlt::io {

namespace {

constexpr size_t kOutChunk = size_t{1} << 16;

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool is_gzip(std::string_view b) { return b.size() >= 2 && uint8_t(b[0]) == 0x1f && uint8_t(b[1]) == 0x8b; }
bool is_zstd(std::string_view b) {
    return b.size() >= 4 && uint8_t(b[0]) == 0x28 && uint8_t(b[1]) == 0xb5 && uint8_t(b[2]) == 0x2f &&
           uint8_t(b[3]) == 0xfd;
}

[[noreturn]] void fail_data(const std::string& source, const std::string& why) {
    fail(VLT_RES_ERR_COMPRESSION, "Cannot decompress '" + source + "': " + why);
}

class PassSink final : public Sink {
public:
    explicit PassSink(Sink& next) : next_(next) {}
    void write(const void* data, size_t size) override { next_.write(data, size); }
    void finish() override { next_.finish(); }

private:
    Sink& next_;
};

class GzipSink final : public Sink {
public:
    explicit GzipSink(Sink& next) : next_(next), out_(kOutChunk, '\0') {
        if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            fail(VLT_RES_ERR_COMPRESSION, "Cannot start gzip compression");
    }
    ~GzipSink() override { deflateEnd(&z_); }
    void write(const void* data, size_t size) override {
        const auto* p = static_cast<const Bytef*>(data);
        while (size > 0) {
            const uInt take = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
            z_.next_in = const_cast<Bytef*>(p);
            z_.avail_in = take;
            pump(Z_NO_FLUSH);
            p += take;
            size -= take;
        }
    }
    void finish() override {
        z_.avail_in = 0;
        pump(Z_FINISH);
        next_.finish();
    }

private:
    void pump(int flush) {
        int rc;
        do {
            z_.next_out = reinterpret_cast<Bytef*>(out_.data());
            z_.avail_out = static_cast<uInt>(out_.size());
            rc = deflate(&z_, flush);
            if (rc == Z_STREAM_ERROR) fail(VLT_RES_ERR_COMPRESSION, "gzip compression failed");
            next_.write(out_.data(), out_.size() - z_.avail_out);
        } while (z_.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    }
    Sink& next_;
    z_stream z_{};
    std::string out_;
};

class ZstdSink final : public Sink {
public:
    explicit ZstdSink(Sink& next) : next_(next), out_(ZSTD_CStreamOutSize(), '\0'), cctx_(ZSTD_createCCtx()) {
        if (!cctx_) fail(VLT_RES_ERR_SPACE, "Cannot start zstd compression: out of memory");
    }
    ~ZstdSink() override { ZSTD_freeCCtx(cctx_); }
    void write(const void* data, size_t size) override {
        ZSTD_inBuffer in{data, size, 0};
        while (in.pos < in.size) pump(in, ZSTD_e_continue);
    }
    void finish() override {
        ZSTD_inBuffer in{nullptr, 0, 0};
        while (pump(in, ZSTD_e_end) != 0) {}
        next_.finish();
    }

private:
    size_t pump(ZSTD_inBuffer& in, ZSTD_EndDirective mode) {
        ZSTD_outBuffer out{out_.data(), out_.size(), 0};
        const size_t left = ZSTD_compressStream2(cctx_, &out, &in, mode);
        if (ZSTD_isError(left))
            fail(VLT_RES_ERR_COMPRESSION, std::string("zstd compression failed: ") + ZSTD_getErrorName(left));
        next_.write(out_.data(), out.pos);
        return left;
    }
    Sink& next_;
    std::string out_;
    ZSTD_CCtx* cctx_;
};

// The library's binary formats (task, solution, result) start with these
// bytes; anything else decompressed is the text of a text format.
constexpr std::string_view kBinaryMark = "\x89VLT";

// The output of a decompression, checked as it grows so that a hostile input
// is refused after little work and memory, not after inflating it whole:
//  - at most limit bytes;
// and, for files (file_checks), whose format the reader tells afterwards:
//  - a text at most kMaxRatio times the compressed size beyond its first
//    kRatioFloor bytes (text files of the library's formats compress far
//    less; a stream of zeros or blanks compresses about a thousand times);
//  - a text (not starting with kBinaryMark) holds no NUL byte, which no text
//    format allows: such data is refused at the first chunk.
class Output {
public:
    static constexpr size_t kMaxRatio = 250;
    static constexpr size_t kRatioFloor = size_t{64} << 20;

    Output(size_t input_size, size_t limit, const std::string& source, bool file_checks)
        : limit_(limit),
          file_checks_(file_checks),
          text_limit_(std::max(kRatioFloor, input_size > SIZE_MAX / kMaxRatio ? SIZE_MAX : input_size * kMaxRatio)),
          source_(source) {
        data_.resize(std::min(std::clamp<size_t>(input_size * 4, 4096, size_t{1} << 26),
                              limit == SIZE_MAX ? limit : limit + 1),
                     '\0');
    }
    // The free space at the end, grown when there is none.
    struct Room {
        char* data;
        size_t size;
    };
    Room room() {
        if (used_ == data_.size()) {
            check_size();
            // One byte past the limit tells a stream of exactly limit bytes from a longer one.
            data_.resize(limit_ == SIZE_MAX ? data_.size() * 2 : std::min(data_.size() * 2, limit_ + 1));
        }
        return {data_.data() + used_, data_.size() - used_};
    }
    void advance(size_t n) {
        size_t from = used_;
        used_ += n;
        if (!kind_known_ && used_ >= kBinaryMark.size()) {
            kind_known_ = true;
            text_ = std::string_view(data_.data(), kBinaryMark.size()) != kBinaryMark;
            from = 0;
        }
        if (!file_checks_ || !text_) return;
        if (const void* nul = std::memchr(data_.data() + from, '\0', used_ - from))
            fail_data(source_, "the decompressed data holds a NUL byte at offset " +
                                   std::to_string(static_cast<const char*>(nul) - data_.data()) +
                                   ", which is neither text nor a binary file of this library");
        if (used_ > text_limit_)
            fail_data(source_, "its text inflates to more than " + std::to_string(kMaxRatio) +
                                   " times its compressed size, more than any file of the library's formats");
    }
    std::string take() {
        check_size();
        data_.resize(used_);
        return std::move(data_);
    }

private:
    void check_size() const {
        if (used_ > limit_)
            fail_data(source_, "it holds more than " + std::to_string(limit_) + " bytes, the most accepted");
    }
    std::string data_;
    size_t used_ = 0;
    size_t limit_;
    bool file_checks_;
    size_t text_limit_;
    bool kind_known_ = false, text_ = false;
    const std::string& source_;
};

std::string gunzip(std::string_view in, const std::string& source, size_t limit, bool file_checks) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) fail(VLT_RES_ERR_COMPRESSION, "Cannot start gzip decompression");
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } end{&z};
    Output out(in.size(), limit, source, file_checks);
    size_t pos = 0;
    for (;;) {
        const size_t chunk = std::min<size_t>(in.size() - pos, UINT_MAX);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + pos));
        z.avail_in = static_cast<uInt>(chunk);
        const Output::Room free = out.room();
        const size_t room = std::min<size_t>(free.size, UINT_MAX);
        z.next_out = reinterpret_cast<Bytef*>(free.data);
        z.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        pos += chunk - z.avail_in;
        out.advance(room - z.avail_out);
        if (rc == Z_STREAM_END) {
            if (pos == in.size()) break;
            if (!is_gzip(in.substr(pos))) fail_data(source, "data follows the end of the gzip stream");
            inflateReset(&z);
            continue;
        }
        if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) fail_data(source, "corrupt gzip data");
        if (rc == Z_MEM_ERROR) fail(VLT_RES_ERR_SPACE, "Out of memory while decompressing '" + source + "'");
        if (rc == Z_BUF_ERROR && pos == in.size()) fail_data(source, "the gzip data is truncated");
    }
    return out.take();
}

std::string unzstd(std::string_view in, const std::string& source, size_t limit, bool file_checks) {
    ZSTD_DCtx* dctx = ZSTD_createDCtx();
    if (!dctx) fail(VLT_RES_ERR_SPACE, "Out of memory while decompressing '" + source + "'");
    struct Free {
        ZSTD_DCtx* d;
        ~Free() { ZSTD_freeDCtx(d); }
    } free_ctx{dctx};
    Output out(in.size(), limit, source, file_checks);
    ZSTD_inBuffer src{in.data(), in.size(), 0};
    size_t left = 0;
    while (src.pos < src.size) {
        if (left == 0 && !is_zstd(in.substr(src.pos))) fail_data(source, "data follows the end of the zstd stream");
        const Output::Room free = out.room();
        ZSTD_outBuffer dst{free.data, free.size, 0};
        left = ZSTD_decompressStream(dctx, &dst, &src);
        out.advance(dst.pos);
        if (ZSTD_isError(left)) fail_data(source, std::string("corrupt zstd data (") + ZSTD_getErrorName(left) + ")");
    }
    // Output still held inside the decoder at the end of the input: a frame
    // is complete when the decoder answers 0.
    while (left != 0) {
        const Output::Room free = out.room();
        ZSTD_outBuffer dst{free.data, free.size, 0};
        left = ZSTD_decompressStream(dctx, &dst, &src);
        out.advance(dst.pos);
        if (ZSTD_isError(left)) fail_data(source, std::string("corrupt zstd data (") + ZSTD_getErrorName(left) + ")");
        if (dst.pos < dst.size) break;
    }
    if (left != 0) fail_data(source, "the zstd data is truncated");
    return out.take();
}

}  // namespace

Compression compression_from_name(std::string_view name) {
    if (ends_with(name, ".gz")) return Compression::gzip;
    if (ends_with(name, ".zst")) return Compression::zstd;
    return Compression::none;
}

std::string_view without_compression_extension(std::string_view name) {
    for (std::string_view ext : {".gz", ".zst"})
        if (ends_with(name, ext)) return name.substr(0, name.size() - ext.size());
    return name;
}

void check_compress_code(int32_t compress) {
    if (compress < VLT_COMPRESS_NONE || compress > VLT_COMPRESS_ZSTD)
        fail(VLT_RES_ERR_INVALID_ENUM,
             "Argument compress = " + std::to_string(compress) + " is not a compression type (expected 0 to 3)");
}

Compression compression_for_write(int32_t compress, std::string_view name) {
    check_compress_code(compress);
    switch (compress) {
        case VLT_COMPRESS_NONE: return Compression::none;
        case VLT_COMPRESS_GZIP: return Compression::gzip;
        case VLT_COMPRESS_ZSTD: return Compression::zstd;
        default: return compression_from_name(name);
    }
}

std::unique_ptr<Sink> compressing_sink(Compression kind, Sink& next) {
    switch (kind) {
        case Compression::gzip: return std::make_unique<GzipSink>(next);
        case Compression::zstd: return std::make_unique<ZstdSink>(next);
        default: return std::make_unique<PassSink>(next);
    }
}

namespace {

InputBytes decompress(InputBytes raw, int32_t compress, const std::string& source, size_t limit, bool file_checks) {
    check_compress_code(compress);
    const std::string_view b = raw.bytes();
    if (compress == VLT_COMPRESS_NONE) return raw;
    if (compress == VLT_COMPRESS_GZIP && !is_gzip(b)) fail_data(source, "it is not gzip data");
    if (compress == VLT_COMPRESS_ZSTD && !is_zstd(b)) fail_data(source, "it is not zstd data");
    if (is_gzip(b)) return InputBytes::own(gunzip(b, source, limit, file_checks));
    if (is_zstd(b)) return InputBytes::own(unzstd(b, source, limit, file_checks));
    return raw;
}

}  // namespace

InputBytes decompressed(InputBytes raw, int32_t compress, const std::string& source, size_t limit) {
    return decompress(std::move(raw), compress, source, limit, false);
}

InputBytes read_input_file(const std::string& path, int32_t compress) {
    check_compress_code(compress);
    return decompress(InputBytes::map_file(path), compress, path, SIZE_MAX, true);
}

}  // namespace vlt::io
