// The cover picture of a sample book: a few kilobytes of deterministic bytes
// framed like a JPEG file (start marker, JFIF header, end marker), and the
// base64 text an FB2 <binary> element carries it in.
#ifndef TOMEVA_TOOLS_SAMPLE_LIBRARY_COVER_IMAGE_H_
#define TOMEVA_TOOLS_SAMPLE_LIBRARY_COVER_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tomeva {

// 1.5 to 4 KiB of cover bytes drawn from seed; the same seed, the same bytes.
std::string MakeCoverImage(uint64_t seed);

// bytes in base64 (RFC 4648 alphabet, "=" padding), broken into lines of
// line_length characters joined by "\n"; one line when line_length is 0.
std::string Base64Lines(std::string_view bytes, size_t line_length);

}  // namespace tomeva

#endif  // TOMEVA_TOOLS_SAMPLE_LIBRARY_COVER_IMAGE_H_
