// gzip (zlib) and zstd (libzstd) compression of the files the library
// writes and reads.
//
// Writing: the compression is the caller's code (VLT_COMPRESS_*), or, for
// VLT_COMPRESS_FREE, told from the file name: ".gz" gzip, ".zst" zstd,
// anything else none.  Reading: a compressed input is recognised by its
// first bytes whatever its name; an explicit code insists on its kind.
// Several gzip members or zstd frames in a row read as one stream.
//
// Failures throw vlt::Error: VLT_RES_ERR_INVALID_ENUM for a code that is not
// a compression type, VLT_RES_ERR_COMPRESSION for data that is not of the
// kind demanded, corrupt or truncated (the message names the source).
#pragma once

#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "io/byte_stream.hpp"

namespace vlt::io {

enum class Compression { none, gzip, zstd };

// The compression a name's extension asks for.
Compression compression_from_name(std::string_view name);
// The name without a compression extension (".gz", ".zst").
std::string_view without_compression_extension(std::string_view name);
// The compression of a write: the code, or the name's for VLT_COMPRESS_FREE.
Compression compression_for_write(int32_t compress, std::string_view name);
// Throws VLT_RES_ERR_INVALID_ENUM unless compress is a VLT_COMPRESS_* code.
void check_compress_code(int32_t compress);

// A sink that compresses into `next`; finish() finishes the compressed
// stream and then `next`.  Compression::none gives a plain pass-through.
std::unique_ptr<Sink> compressing_sink(Compression kind, Sink& next);

// The decompressed bytes of an input (the input itself when it is not
// compressed and compress allows that).  source names it in messages.
// Decompressed data of more than limit bytes is refused (VLT_RES_ERR_COMPRESSION).
InputBytes decompressed(InputBytes raw, int32_t compress, const std::string& source, size_t limit = SIZE_MAX);

// Reads a file and decompresses it as decompressed() does, refusing while
// it inflates what no file of the library's formats holds: a text (data not
// starting like the library's binary formats) with a NUL byte, or a text of
// more than 64 MiB that inflates more than 250 times.
InputBytes read_input_file(const std::string& path, int32_t compress);

}  // namespace vlt::io
