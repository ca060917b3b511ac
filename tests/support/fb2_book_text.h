// Test support: the text of a small FB2 book with chosen metadata, in UTF-8 or
// a single-byte encoding, and a ZIP archive holding one such book.
#ifndef TOMEVA_TESTS_SUPPORT_FB2_BOOK_TEXT_H_
#define TOMEVA_TESTS_SUPPORT_FB2_BOOK_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace tomeva::testing {

struct TestAuthor {
  std::string last, first, middle;
};

// A book's metadata; empty parts are left out of the file.
struct TestBook {
  std::string title = "Война и мир";
  std::vector<TestAuthor> authors = {{"Толстой", "Лев", "Николаевич"}};
  std::vector<std::string> genres = {"prose_classic"};
  std::string series{}, series_number{}, year = "1869";
  std::string annotation{};        // raw XML of one paragraph
  std::string keywords{};
  std::string raw_title{};         // raw XML, used instead of title when set
  std::string encoding = "UTF-8";  // or windows-1251
  std::string publisher{}, isbn{};  // publish-info
};

std::string Fb2Text(const TestBook& book);
// A ZIP archive with one deflated entry.
std::string ZipOf(std::string_view entry_name, std::string_view content);

}  // namespace tomeva::testing

#endif  // TOMEVA_TESTS_SUPPORT_FB2_BOOK_TEXT_H_
