#ifndef VARNELO_WINDOW_FORM1_LAYOUT_H_
#define VARNELO_WINDOW_FORM1_LAYOUT_H_

// The one description of Form1's controls that both front ends build from
// (window/ with Qt on Linux, window/win32/ on Windows), so that neither can
// drift from the design: names, kinds, captions, places, fonts and the tab
// order, which is the order of the list.

#include <span>

#include "commands/commands.h"

namespace varnelo {

inline constexpr char kCaption[] = "Varnelo V1.0";
inline constexpr int kClientWidth = 519;  // pixels at 96 dots per inch
inline constexpr int kClientHeight = 349;
// The key colour of the body, which the desktop shows as see-through.
inline constexpr int kKeyRed = 255, kKeyGreen = 255, kKeyBlue = 1;

enum class ControlKind {
  kDropBox,     // Text1: multi-line, takes drops
  kTextBox,     // Text2: one line, no use
  kScratchBox,  // Text3: text written and read back by the commands
  kButton,      // runs `command`
  kHelpButton,  // opens the help page
  kPictureBox,  // Picture1: a sunken frame of two pixels
};

struct ControlLayout {
  const char* name;
  ControlKind kind;
  const char* text;              // the caption, or the first text
  int left, top, width, height;  // pixels from the client area's top-left corner
  const char* font = nullptr;    // none of its own where null; GB2312, weight 400
  double points = 0;
  const Command* command = nullptr;

  // Out of sight below the client area: never seen, never reached by tab.
  bool hidden() const { return top >= kClientHeight; }
};

inline constexpr ControlLayout kForm1Controls[] = {
    {"Text1", ControlKind::kDropBox, "Text1", 56, 40, 401, 89, "微软雅黑", 14.25},
    {"Text2", ControlKind::kTextBox, "Text2", 360, 640, 33, 25},
    {"Command2", ControlKind::kButton, "按扩展名分类", 56, 248, 97, 49, "微软雅黑", 9,
     &kSortByExtension},
    {"Command3", ControlKind::kButton, "将所有文件放到根目录", 56, 160, 161, 49, "微软雅黑", 9,
     &kFlattenToRoot},
    {"Text3", ControlKind::kScratchBox, "Text3", 240, 624, 57, 41},
    {"Command4", ControlKind::kButton, "按文件类型分类", 208, 248, 97, 49, "微软雅黑", 9,
     &kSortByFileType},
    {"Command5", ControlKind::kButton, "按最后修改年份分类", 296, 160, 161, 49, "微软雅黑", 9,
     &kSortByYear},
    {"Command7", ControlKind::kButton, "按照片像素分类", 360, 248, 97, 49, "微软雅黑", 9,
     &kSortByResolution},
    {"Picture1", ControlKind::kPictureBox, "", 80, 608, 121, 89},
    {"Command10", ControlKind::kHelpButton, "?", 472, 8, 25, 25, "黑体", 15.75},
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_FORM1_LAYOUT_H_
