// What a download of a book says about it: the media type its shown name
// implies and a Content-Disposition that e-readers and browsers accept for
// names in any script.
#ifndef TOMEVA_SERVER_BOOK_DOWNLOAD_H_
#define TOMEVA_SERVER_BOOK_DOWNLOAD_H_

#include <string>
#include <string_view>

namespace tomeva::server {

inline constexpr char kFb2MediaType[] = "application/x-fictionbook+xml";
inline constexpr char kZipMediaType[] = "application/zip";

// The media type of a book file by its name: application/zip for .fb2.zip,
// .fbz and .zip, application/x-fictionbook+xml for .fb2 (and anything else:
// the catalog holds FB2 books only). Letter case does not matter.
std::string BookMediaType(std::string_view file_name);

// "attachment; filename=\"ASCII\"; filename*=UTF-8''PERCENT-ENCODED": the
// ASCII form (for clients that do not read filename*) keeps letters, digits and
// ".-_ ()", writes Russian letters in Latin ones and "_" for every other
// character; the encoded form is the exact name.
std::string ContentDisposition(std::string_view file_name);

}  // namespace tomeva::server

#endif  // TOMEVA_SERVER_BOOK_DOWNLOAD_H_
