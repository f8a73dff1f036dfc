// Paths as Windows spells them: roots of their own, "\" and "/" alike.
#include <gtest/gtest.h>

#include "filesystem/names.h"

namespace varnelo {
namespace {

TEST(WindowsPathTest, RootsKeepTheirSeparatorAndEverythingElseIsNormalizedToBackslash) {
  EXPECT_EQ(RootLength("D:\\pics"), 3u);
  EXPECT_EQ(RootLength("D:"), 2u);
  EXPECT_EQ(RootLength("\\\\server\\share\\pics"), 15u);
  EXPECT_EQ(RootLength("\\\\?\\D:\\pics"), 7u);
  EXPECT_EQ(RootLength("pics\\a"), 0u);

  EXPECT_EQ(NormalizePath("D:\\"), "D:\\");
  EXPECT_EQ(NormalizePath("D:/pics//jpg/"), "D:\\pics\\jpg");
  EXPECT_EQ(NormalizePath("D:\\pics\\\\jpg\\"), "D:\\pics\\jpg");
  EXPECT_EQ(NormalizePath("\\\\server\\share\\\\a\\"), "\\\\server\\share\\a");
  EXPECT_TRUE(IsNormalPath("D:\\pics\\jpg"));
  EXPECT_FALSE(IsNormalPath("D:/pics"));
}

TEST(WindowsPathTest, ParentAndNameSplitAtEitherSeparatorAndStopAtTheRoot) {
  EXPECT_EQ(ParentOf("D:\\pics\\a.jpg"), "D:\\pics");
  EXPECT_EQ(ParentOf("D:\\pics"), "D:\\");
  EXPECT_EQ(ParentOf("\\\\server\\share\\a.jpg"), "\\\\server\\share\\");
  EXPECT_EQ(NameOf("D:\\pics\\a.jpg"), "a.jpg");
  EXPECT_EQ(NameOf("D:/pics/a.jpg"), "a.jpg");
  EXPECT_EQ(JoinPath("D:\\", "a.jpg"), "D:\\a.jpg");
  EXPECT_EQ(JoinPath("D:\\pics", "照片"), "D:\\pics\\照片");
}

TEST(WindowsPathTest, LetterCaseFoldsAsTheSystemDoes) {
  EXPECT_EQ(FoldCase("IMG.JPG"), FoldCase("img.jpg"));
  EXPECT_EQ(FoldCase("ÉTÉ.Я"), FoldCase("été.я"));
  EXPECT_EQ(UpperCase("straße.jpg"), "STRAßE.JPG");  // one character stays one
  EXPECT_NE(FoldCase("照片"), FoldCase("图片"));
}

}  // namespace
}  // namespace varnelo
