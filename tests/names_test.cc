#include "filesystem/names.h"
#include "filesystem/letter_case.h"

#include <gtest/gtest.h>

namespace varnelo {
namespace {

TEST(FoldCaseTest, FoldsAsciiAndOtherLetters) {
  EXPECT_EQ(FoldCase("JPG"), FoldCase("jpg"));
  EXPECT_EQ(FoldCase("Photo.JPG"), FoldCase("photo.jpg"));
  EXPECT_EQ(FoldCase("ÉTÉ.txt"), FoldCase("été.TXT"));
  EXPECT_EQ(FoldCase("Я"), FoldCase("я"));
  EXPECT_EQ(FoldCase("图片"), "图片");
  EXPECT_NE(FoldCase("a.jpg"), FoldCase("a.jpeg"));
  EXPECT_EQ(FoldCase("ΟΔΟΣ"), FoldCase("οδος")) << "a final sigma is a sigma";
  EXPECT_EQ(FoldCase("𐐀.txt"), FoldCase("𐐨.TXT")) << "beyond the first 65536 characters too";
  EXPECT_EQ(UpperCase("été 图片.jpg"), "ÉTÉ 图片.JPG");
}

// Names are looked up by the hash of their folded key, made on the way
// without the key where the name allows it: both must always agree.
TEST(FoldCaseTest, ANameHashesAsItsFoldedKeyDoes) {
  for (const char* name : {"", "a.jpg", "Photo.JPG", "图片 2015年", "ÉTÉ.txt", "Ⓐ图", "A\xff.txt",
                           "\xE4\xB8", "年\xC3\x89"}) {
    EXPECT_EQ(FoldedHash(name), BytesHash(FoldCase(name))) << name;
  }
  // The hash passes the CJK characters over as having no case: the system's
  // own letter tables must say so too.
  for (char32_t c = 0x2E80; c <= 0x9FFF; ++c) {
    ASSERT_EQ(FoldedLetter(c), c) << std::hex << static_cast<uint32_t>(c);
    ASSERT_EQ(UpperCaseLetter(c), c) << std::hex << static_cast<uint32_t>(c);
  }
}

TEST(FoldCaseTest, NamesThatAreNotUtf8KeepTheirOtherBytes) {
  // Two different invalid names must not fold together through a replacement character.
  std::string a = "A\xff.txt";
  std::string b = "a\xfe.txt";
  EXPECT_EQ(FoldCase(a), "a\xff.txt");
  EXPECT_NE(FoldCase(a), FoldCase(b));
  EXPECT_EQ(UpperCase("a\xff"), "A\xff");
  // An overlong "é" and a lone surrogate are no UTF-8 either.
  EXPECT_EQ(FoldCase("\xC3\x89\xE0\x83\xA9"), "\xC3\x89\xE0\x83\xA9");
  EXPECT_EQ(FoldCase("\xC3\x89\xED\xA0\x80"), "\xC3\x89\xED\xA0\x80");
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_TRUE(IsValidUtf8("图片 2015年"));
}

TEST(WildcardMatchTest, StarAndStarDotStar) {
  EXPECT_TRUE(WildcardMatch("README", "*"));
  EXPECT_TRUE(WildcardMatch("", "*"));
  EXPECT_FALSE(WildcardMatch("README", "*.*"));
  EXPECT_TRUE(WildcardMatch("A.B.C", "*.*"));
  EXPECT_TRUE(WildcardMatch(".PROFILE", "*.*"));
  EXPECT_TRUE(WildcardMatch("X.", "*.*"));
  EXPECT_TRUE(WildcardMatch(UpperCase("photo.jpg"), UpperCase("*.JPG")));
  EXPECT_FALSE(WildcardMatch("PHOTO.JPEG", "*.JPG"));
  EXPECT_TRUE(WildcardMatch("AB", "A?"));
  EXPECT_FALSE(WildcardMatch("A", "A?"));
}

TEST(WildcardMatchTest, AStarInTheNameIsAnOrdinaryCharacter) {
  EXPECT_TRUE(WildcardMatch("*X", "*"));
  EXPECT_TRUE(WildcardMatch("**(1*", "*(1*"));
  EXPECT_TRUE(WildcardMatch("?.*", "*.*"));
}

TEST(WildcardMatchTest, ManyStarsStayFast) {
  std::string name(5000, 'a');
  EXPECT_FALSE(WildcardMatch(name, "*a*a*a*a*a*a*a*a*a*b"));
}

TEST(NumberedNameTest, SplitsAtTheLastDot) {
  EXPECT_EQ(NumberedName("a.jpg", 1), "a.jpg");
  EXPECT_EQ(NumberedName("a.jpg", 2), "a (2).jpg");
  EXPECT_EQ(NumberedName("archive.tar.gz", 3), "archive.tar (3).gz");
  EXPECT_EQ(NumberedName("README", 2), "README (2)");
  EXPECT_EQ(NumberedName(".profile", 2), ".profile (2)");
  EXPECT_EQ(NumberedName("a.", 2), "a (2).");
}

TEST(NumberedNameTest, LongNamesAreShortenedToFitAtACharacterBoundary) {
  std::string stem;
  while (stem.size() < 249) stem += "图";  // three bytes each
  std::string name = stem + ".jpg";
  ASSERT_GT(name.size(), 250u);
  std::string numbered = NumberedName(name, 2);
  EXPECT_LE(numbered.size(), kMaxNameBytes);
  EXPECT_TRUE(numbered.ends_with(" (2).jpg"));
  EXPECT_EQ((numbered.size() - 8) % 3, 0u) << "cut inside a character";
  EXPECT_NE(NumberedName(name, 2), NumberedName(name, 3));

  std::string long_extension = "a." + std::string(253, 'x');
  EXPECT_LE(NumberedName(long_extension, 12).size(), kMaxNameBytes);
  EXPECT_TRUE(NumberedName(long_extension, 12).ends_with(" (12)"));
}

// Linux paths; tests/windows/names_test.cc holds the Windows ones.
#ifndef _WIN32
TEST(PathTest, NormalizeParentAndName) {
  EXPECT_EQ(NormalizePath("/a//b/"), "/a/b");
  EXPECT_EQ(NormalizePath("/"), "/");
  EXPECT_EQ(ParentOf("/a/b"), "/a");
  EXPECT_EQ(ParentOf("/a"), "/");
  EXPECT_EQ(ParentOf("a"), "");
  EXPECT_EQ(NameOf("/a/b.txt"), "b.txt");
  EXPECT_TRUE(IsHiddenName(".git"));
  EXPECT_FALSE(IsHiddenName("."));
  EXPECT_FALSE(IsHiddenName(".."));
  EXPECT_TRUE(HasControlCharacter("a\r\nb"));
  EXPECT_FALSE(HasControlCharacter("图片 2015年"));
}
#endif

}  // namespace
}  // namespace varnelo
