// What libxml2 alone needs to read a book, the floor the content field source
// is compared with: the whole document (xmlReadFile with XML_PARSE_NONET), or
// only its header, a push parser building the tree that stops at the end of
// <description>. Plain books are read from disk; a zipped book's first entry
// is inflated with zlib as it is parsed (the whole entry for the whole parse).
#ifndef TOMEVA_BENCH_XML_FLOOR_H_
#define TOMEVA_BENCH_XML_FLOOR_H_

#include <string>

namespace tomeva::bench {

// True when the book parsed (well-formed up to where the parse stopped).
bool ParseWholeBook(const std::string& file);
bool ParseBookHeader(const std::string& file);

}  // namespace tomeva::bench

#endif  // TOMEVA_BENCH_XML_FLOOR_H_
