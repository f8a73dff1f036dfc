// The Win32 Form1 as built from the shared layout, and its drop box, with
// the window made in this process on a screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "window/prompt.h"
#include "window/win32/form1.h"

#include "tests/windows/dragged.h"

namespace varnelo {
namespace {

using testing::Dragged;
using testing::DropOf;

std::wstring TextOf(HWND control) {
  wchar_t text[512];
  return std::wstring(text, GetWindowTextW(control, text, 512));
}

// The program starts OLE before its window, for the drop box.
class OleStarted : public ::testing::Environment {
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override { OleUninitialize(); }
};
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new OleStarted);

// What a box showed, and the button that answered it.
struct BoxSeen {
  std::wstring title;
  std::vector<std::wstring> texts;  // of its controls, in their order
  std::wstring pressed;
  bool expanded = false;    // the details opened first
  bool details_fit = true;  // the details button wide enough for its arrow and label
};

BoxSeen seen;

// Whether the button holds its label after an arrow of two average
// characters: else the label is cut down to its first dot.
bool HoldsItsLabel(HWND button) {
  const std::wstring label = TextOf(button);
  HDC dc = GetDC(button);
  HGDIOBJ old_font =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SIZE text = {};
  TEXTMETRICW metrics = {};
  GetTextExtentPoint32W(dc, label.c_str(), label.size(), &text);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old_font);
  ReleaseDC(button, dc);
  RECT rect;
  GetWindowRect(button, &rect);
  return rect.right - rect.left >= text.cx + metrics.tmAveCharWidth * 2;
}

BOOL CALLBACK NoteText(HWND control, LPARAM /*unused*/) {
  if (IsWindowVisible(control)) seen.texts.push_back(TextOf(control));
  return TRUE;
}

// Once the box is up, notes it and presses `seen.pressed`.
void CALLBACK AnswerBox(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(nullptr, seen.title.c_str());
  if (!box) return;
  KillTimer(nullptr, timer);
  HWND details = FindWindowExW(box, nullptr, L"BUTTON", L"显示详情...");
  if (details) seen.details_fit = HoldsItsLabel(details);
  if (seen.expanded && details) {
    SendMessageW(details, BM_CLICK, 0, 0);
    seen.details_fit = seen.details_fit && HoldsItsLabel(details);
  }
  EnumChildWindows(box, NoteText, 0);
  HWND button = FindWindowExW(box, nullptr, L"BUTTON", seen.pressed.c_str());
  if (button) SendMessageW(button, BM_CLICK, 0, 0);
}

// Runs `ask` while a timer answers its box, titled `title`, with `pressed`.
template <typename Ask>
auto Answered(const wchar_t* title, const wchar_t* pressed, Ask&& ask, bool expanded = false) {
  seen = {title, {}, pressed, expanded};
  SetTimer(nullptr, 0, 50, AnswerBox);
  return ask();
}

bool Shows(const std::wstring& text) {
  return std::find(seen.texts.begin(), seen.texts.end(), text) != seen.texts.end();
}

class Win32Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = FindWindowW(L"VarneloForm1", nullptr);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOW);
    // The window of the test before, closed, asked this thread to quit,
    // which would end a box at once.
    for (MSG quit; PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {
    }
  }
  HWND Control(const char* name) {
    for (size_t i = 0; i < std::size(kForm1Controls); ++i) {
      if (std::strcmp(kForm1Controls[i].name, name) == 0) {
        return GetDlgItem(window_, 100 + static_cast<int>(i));
      }
    }
    return nullptr;
  }

  Form1 form_{GetModuleHandleW(nullptr), FileSystem::Default()};
  HWND window_ = nullptr;
};

TEST_F(Win32Form1Test, EveryControlStandsWhereTheSharedLayoutPutsItWithItsFont) {
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, kClientWidth);
  EXPECT_EQ(client.bottom, kClientHeight);
  EXPECT_EQ(TextOf(window_), L"Varnelo V1.0");
  for (const ControlLayout& layout : kForm1Controls) {
    SCOPED_TRACE(layout.name);
    HWND control = Control(layout.name);
    ASSERT_NE(control, nullptr);
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, layout.left);
    EXPECT_EQ(place.top, layout.top);
    EXPECT_EQ(place.right - place.left, layout.width);
    EXPECT_EQ(place.bottom - place.top, layout.height);
    EXPECT_EQ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0, !layout.hidden());
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << "every control gets its font, or Chinese shows as boxes";
    LOGFONTW described;
    GetObjectW(font, sizeof described, &described);
    EXPECT_EQ(described.lfCharSet, GB2312_CHARSET);
    EXPECT_EQ(described.lfWeight, FW_NORMAL);
    if (layout.font) {
      EXPECT_EQ(std::wstring(described.lfFaceName), WideFromUtf8(layout.font));
      EXPECT_EQ(described.lfHeight, -static_cast<LONG>(std::lround(layout.points * 96 / 72)));
    }
    if (layout.kind == ControlKind::kButton || layout.kind == ControlKind::kHelpButton) {
      EXPECT_EQ(TextOf(control), WideFromUtf8(layout.text));
    }
  }
}

TEST_F(Win32Form1Test, TheBodyIsLayeredWithTheKeyColour) {
  EXPECT_TRUE(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_LAYERED);
  COLORREF key = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(window_, &key, nullptr, &flags));
  EXPECT_EQ(key, RGB(255, 255, 1));
  EXPECT_EQ(flags & LWA_COLORKEY, static_cast<DWORD>(LWA_COLORKEY));
}

TEST_F(Win32Form1Test, TheDropBoxShowsThePromptThenTheDroppedPathsRunTogether) {
  HWND text1 = Control("Text1");
  EXPECT_EQ(form_.DropBoxText(), kPrompt);
  SendMessageW(text1, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"Z:\\tmp\\照片"})), 0);
  EXPECT_EQ(form_.DropBoxText(), "Z:\\tmp\\照片");
  SendMessageW(text1, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"  D:\\a", L"D:\\b  "})), 0);
  EXPECT_EQ(form_.DropBoxText(), "D:\\aD:\\b");  // replaced, not appended; trimmed
  ShowWindow(window_, SW_HIDE);
  ShowWindow(window_, SW_SHOW);
  EXPECT_EQ(form_.DropBoxText(), kPrompt);  // shown again: the prompt is back
}

// What the file manager's own drags go through: the drop box answers with a
// copy, never a move (that would have the items removed at the source).
TEST_F(Win32Form1Test, TheDropBoxTakesAFileListByOleAndNeverAsAMove) {
  HWND text1 = Control("Text1");
  auto* target = static_cast<IDropTarget*>(GetPropW(text1, L"OleDropTargetInterface"));
  ASSERT_NE(target, nullptr) << "the drop box is no OLE drop target";
  const DWORD any = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  // Longer than the old limit of a path, which the box must not cut.
  std::wstring deep = L"Z:\\tmp";
  while (deep.size() <= 300) deep += L"\\子目录 sub folder";
  Dragged folder({deep});
  DWORD effect = any;
  EXPECT_EQ(target->DragEnter(&folder, MK_LBUTTON, {10, 10}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  effect = DROPEFFECT_MOVE | DROPEFFECT_LINK;
  target->DragOver(MK_LBUTTON, {12, 12}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
  effect = any;
  target->Drop(&folder, 0, {12, 12}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(WideFromUtf8(form_.DropBoxText()), deep);

  Dragged text({L"some words"}, false);
  effect = any;
  target->DragEnter(&text, MK_LBUTTON, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  target->DragLeave();
  effect = any;
  target->Drop(&text, 0, {10, 10}, &effect);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(WideFromUtf8(form_.DropBoxText()), deep);  // nothing dragged is inserted
}

TEST_F(Win32Form1Test, TheScratchBoxGivesBackWhatWasWritten) {
  form_.SetScratchText("D:\\pics\\照片.jpg");
  EXPECT_EQ(form_.ScratchText(), "D:\\pics\\照片.jpg");
}

TEST_F(Win32Form1Test, ALongCommandShowsItsProgressAndTheWindowTakesNoInputMeanwhile) {
  {
    ProgressWindow busy(GetModuleHandleW(nullptr), window_);
    EXPECT_FALSE(IsWindowEnabled(window_));
    busy.Progress(1, 10, "D:\\pics\\a.jpg");
    EXPECT_EQ(FindWindowW(nullptr, L"正在整理…"), nullptr) << "a quick run flashes no window";
    Sleep(600);
    busy.Progress(5, 10, "D:\\pics\\照片.jpg");
    HWND dialog = FindWindowW(nullptr, L"正在整理…");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), window_);
  }
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_EQ(FindWindowW(nullptr, L"正在整理…"), nullptr);
}

TEST_F(Win32Form1Test, TheCompletionBoxOffersUndoWhichStartsItsWorkAtOnce) {
  EXPECT_FALSE(Answered(L"Varnelo", L"OK", [&] { return form_.ReportUndoable("操作已完成!!"); }));
  EXPECT_TRUE(Shows(L"操作已完成!!"));
  EXPECT_TRUE(Shows(L"撤销"));
  EXPECT_TRUE(IsWindowEnabled(window_));

  EXPECT_TRUE(Answered(L"Varnelo", L"撤销", [&] { return form_.ReportUndoable("操作已完成!!"); }));
  EXPECT_FALSE(IsWindowEnabled(window_)) << "the undo works behind its progress window";
  Answered(L"Varnelo", L"OK", [&] { form_.Report("撤销已完成!!"); });
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_FALSE(Shows(L"撤销"));
}

TEST_F(Win32Form1Test, TheConfirmationShowsThePreviewLineAndItsMovesOnDemand) {
  const Preview preview = {"将移动 1 个文件，新建 1 个文件夹。", "D:\\a.jpg → D:\\jpg\\a.jpg"};
  bool ok = Answered(L"请选择", L"Cancel", [&] {
    return form_.ConfirmRun("确认按扩展名分类?", "请选择", [&] { return preview; });
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(IsWindowEnabled(window_));
  EXPECT_TRUE(Shows(L"确认按扩展名分类?\n\n将移动 1 个文件，新建 1 个文件夹。"));
  EXPECT_TRUE(Shows(L"显示详情..."));
  EXPECT_TRUE(seen.details_fit);
  EXPECT_FALSE(Shows(WideFromUtf8(preview.details))) << "the moves wait to be asked for";

  Answered(
      L"请选择", L"Cancel",
      [&] { return form_.ConfirmRun("确认按扩展名分类?", "请选择", [&] { return preview; }); },
      true);
  EXPECT_TRUE(Shows(WideFromUtf8(preview.details)));
  EXPECT_TRUE(Shows(L"隐藏详情..."));
  EXPECT_TRUE(seen.details_fit) << "after the details opened";

  EXPECT_TRUE(Answered(L"请选择", L"OK", [&] {
    return form_.ConfirmRun("确认按扩展名分类?", "请选择", [] { return std::nullopt; });
  }));
  EXPECT_FALSE(IsWindowEnabled(window_));
  Answered(L"Varnelo", L"OK", [&] { form_.Report("操作已完成!!"); });
}

// The box grows with its details and has no scroll bar: a long list would
// push its buttons off the screen.
TEST_F(Win32Form1Test, TheMovesAreCutToWhatTheScreenHolds) {
  Preview preview = {"将移动 500 个文件，新建 1 个文件夹。", ""};
  for (int i = 0; i < 500; ++i) preview.details += "D:\\" + std::to_string(i) + ".txt\n";
  Answered(
      L"请选择", L"Cancel",
      [&] { return form_.ConfirmRun("确认按扩展名分类?", "请选择", [&] { return preview; }); },
      true);
  auto details = std::find_if(seen.texts.begin(), seen.texts.end(), [](const std::wstring& text) {
    return text.starts_with(L"D:\\0.txt\n");
  });
  ASSERT_NE(details, seen.texts.end());
  EXPECT_TRUE(details->ends_with(L"\n……"));
  EXPECT_LT(std::count(details->begin(), details->end(), L'\n'), 100);
  EXPECT_GE(std::count(details->begin(), details->end(), L'\n'), 10);
}

}  // namespace
}  // namespace varnelo
