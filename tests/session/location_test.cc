#include "session/location.h"

#include <gtest/gtest.h>

namespace session {
namespace {

TEST(FolderLinks, NamesMatchWithoutLetterCase) {
  FolderLinkMap links;
  links.Set("\u0395\u03B3\u03C7\u03B5\u03B9\u03C1\u03AF\u03B4\u03B9\u03B1", "\\manuals\\");
  EXPECT_TRUE(links.Exists("\u0395\u0393\u03A7\u0395\u0399\u03A1\u038A\u0394\u0399\u0391"));
  EXPECT_EQ(links.Target("\u03B5\u03B3\u03C7\u03B5\u03B9\u03C1\u03AF\u03B4\u03B9\u03B1"),
            "\\manuals\\");
  links.Set("EGX", "\\a\\");
  links.Set("egx", "\\b\\");  // same name: target replaced
  EXPECT_EQ(links.Target("Egx"), "\\b\\");
  links.Remove("EGX");
  EXPECT_FALSE(links.Exists("egx"));
  EXPECT_EQ(links.Target("nothing"), "");
}

TEST(Navigation, OrdinaryFoldersAppendAndGoUpCutsTheLastLevel) {
  RemoteLocation loc;
  EXPECT_TRUE(loc.AtRoot());
  loc.Enter("Docs");
  loc.Enter("2026");
  EXPECT_EQ(loc.current_path, "\\Docs\\2026\\");
  EXPECT_EQ(loc.ServerPath(), "\\Docs\\2026\\");
  loc.GoUp();
  EXPECT_EQ(loc.current_path, "\\Docs\\");
  loc.GoUp();
  EXPECT_EQ(loc.current_path, "\\");
  loc.GoUp();  // nothing above the root
  EXPECT_EQ(loc.current_path, "\\");
}

TEST(Navigation, LinkedFolderSwitchesToItsTargetAndReturnsToTheRoot) {
  RemoteLocation loc;
  loc.links.Set("Manuals", "\\manuals\\");
  loc.Enter("manuals");
  EXPECT_EQ(loc.link_target, "\\manuals\\");
  EXPECT_EQ(loc.current_path, "");
  EXPECT_EQ(loc.link_display_prefix, "\\manuals\\");
  EXPECT_TRUE(loc.InLink());
  EXPECT_FALSE(loc.AtRoot());
  loc.Enter("Sub");
  EXPECT_EQ(loc.ServerPath(), "\\manuals\\Sub\\");
  EXPECT_EQ(loc.DisplayPath(), "\\manuals\\Sub\\");
  loc.GoUp();
  EXPECT_EQ(loc.current_path, "");
  EXPECT_EQ(loc.ServerPath(), "\\manuals\\");
  loc.GoUp();  // top of the link: back to the root
  EXPECT_EQ(loc.current_path, "\\");
  EXPECT_FALSE(loc.InLink());
}

}  // namespace
}  // namespace session
