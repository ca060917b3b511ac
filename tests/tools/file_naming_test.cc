// File and folder names of the sample books.
#include "sample_library/file_naming.h"

#include <gtest/gtest.h>

#include <string>

namespace tomeva {
namespace {

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(FileNamingTest, SafeFileNamePartReplacesCharactersFileSystemsRefuse) {
  EXPECT_EQ(SafeFileNamePart("a/b:c*d?e\"f<g>h|i\\j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(SafeFileNamePart("tab\there"), "tab_here");
  EXPECT_EQ(SafeFileNamePart("The Captain's «Тень»"), "The Captain's «Тень»");
}

TEST(FileNamingTest, SafeFileNamePartDropsTrailingDotsAndSpacesAndNeverReturnsEmpty) {
  EXPECT_EQ(SafeFileNamePart("Title. . "), "Title");
  EXPECT_EQ(SafeFileNamePart("..."), "_");
  EXPECT_EQ(SafeFileNamePart(""), "_");
}

TEST(FileNamingTest, BookFileStemPadsTheNumberAndSanitizesNameAndTitle) {
  EXPECT_EQ(BookFileStem(1, 4, "Соколов", "Кто боится ветра?"), "0001 Соколов - Кто боится ветра_");
  EXPECT_EQ(BookFileStem(12345, 5, "O'Brien", "Shadow/Fire"), "12345 O'Brien - Shadow_Fire");
  EXPECT_EQ(BookNumberWidth(0), 4);
  EXPECT_EQ(BookNumberWidth(9999), 4);
  EXPECT_EQ(BookNumberWidth(10000), 5);
}

TEST(FileNamingTest, BookFileStemCutsLongTitlesOnACharacterBoundary) {
  std::string stem = BookFileStem(7, 4, "Ли", "a" + Repeat("ж", 100));
  EXPECT_EQ(stem, "0007 Ли - a" + Repeat("ж", 59));
}

TEST(FileNamingTest, FirstLetterFolderIsTheUpperCaseInitialOrUnderscore) {
  EXPECT_EQ(FirstLetterFolder("Ёлкин"), "Ё");
  EXPECT_EQ(FirstLetterFolder("щукин"), "Щ");
  EXPECT_EQ(FirstLetterFolder("o'Brien"), "O");
  EXPECT_EQ(FirstLetterFolder("'Quote"), "_");
  EXPECT_EQ(FirstLetterFolder(""), "_");
}

}  // namespace
}  // namespace tomeva
