#include "window/win32/form1.h"

#include <cmath>

#include "commands/frame.h"
#include "window/prompt.h"
#include "window/win32/boxes.h"
#include "window/win32/drop_target.h"

namespace varnelo {
namespace {

constexpr wchar_t kClassName[] = L"VarneloForm1";
constexpr int kFirstId = 100;  // a control's id: its place in the layout, after this
constexpr UINT_PTR kDropBoxSubclass = 1;
constexpr char kReportTitle[] = "Varnelo";

std::wstring TextOf(HWND control) {
  std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
  text.resize(GetWindowTextW(control, text.data(), static_cast<int>(text.size())));
  return text;
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropBox:
    case ControlKind::kTextBox:
    case ControlKind::kScratchBox:
      return L"EDIT";
    case ControlKind::kButton:
    case ControlKind::kHelpButton:
      return L"BUTTON";
    case ControlKind::kPictureBox:
      return L"STATIC";
  }
  return L"STATIC";
}

DWORD StyleOf(const ControlLayout& layout) {
  DWORD style = WS_CHILD | WS_VISIBLE | (layout.hidden() ? 0 : WS_TABSTOP);
  switch (layout.kind) {
    case ControlKind::kDropBox:
      return style | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    case ControlKind::kTextBox:
    case ControlKind::kScratchBox:
      return style | WS_BORDER | ES_AUTOHSCROLL;
    case ControlKind::kButton:
    case ControlKind::kHelpButton:
      return style | BS_PUSHBUTTON;
    case ControlKind::kPictureBox:
      return style | SS_SUNKEN;
  }
  return style;
}

// Fonts are designed in points at 96 dots per inch, all GB2312 and normal.
HFONT MakeFont(const char* family, double points) {
  int height = -static_cast<int>(std::lround(points * 96 / 72));
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, WideFromUtf8(family).c_str());
}

bool IsUndoKey(const MSG& message) {
  return message.message == WM_KEYDOWN && message.wParam == 'Z' && GetKeyState(VK_CONTROL) < 0 &&
         GetKeyState(VK_MENU) >= 0 && GetKeyState(VK_SHIFT) >= 0;
}

bool IsEdit(HWND control) {
  wchar_t name[8];
  return GetClassNameW(control, name, 8) > 0 && lstrcmpiW(name, L"EDIT") == 0;
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

}  // namespace

Form1::Form1(HINSTANCE instance, FileSystem* fs) : instance_(instance), fs_(fs) {
  WNDCLASSEXW type = {};
  type.cbSize = sizeof type;
  type.lpfnWndProc = WindowProcedure;
  type.hInstance = instance;
  type.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.lpszClassName = kClassName;
  RegisterClassExW(&type);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  // The design's first place: the client area's corner at 147, 92 pixels.
  CreateWindowExW(0, kClassName, WideFromUtf8(kCaption).c_str(), style, 147 + frame.left,
                  92 + frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                  nullptr, instance, this);
}

Form1::~Form1() {
  if (window_) DestroyWindow(window_);
  if (drop_target_) drop_target_->Release();
  for (HFONT font : fonts_) DeleteObject(font);
}

int Form1::Run(int show) {
  ShowWindow(window_, show);
  UpdateWindow(window_);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TakeUndoKey(message)) continue;
    if (IsDialogMessageW(window_, &message)) continue;  // tab moves between the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Form1::WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return form ? form->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT Form1::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      Form_Load();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers it all
    case WM_PAINT:
      Form_Paint();
      return 0;
    case WM_SHOWWINDOW:
      // The prompt comes back when the window is shown, not at every
      // paint: a dropped path has to outlive the boxes over it.
      if (w) PutPrompt();
      break;
    case WM_SIZE:
      if (w == SIZE_RESTORED) PutPrompt();
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Form_MouseDown();
      return 0;
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED) Click(LOWORD(w));
      return 0;
    case WM_DESTROY:
      RevokeDragDrop(text1_);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

// Created in tab order, as the layout lists them.
void Form1::CreateControls() {
  HFONT plain = MakeFont("微软雅黑", 9);  // for the controls without a font of their own
  fonts_.push_back(plain);
  int id = kFirstId;
  for (const ControlLayout& layout : kForm1Controls) {
    HWND control = CreateControl(layout, id++);
    HFONT font = plain;
    if (layout.font) fonts_.push_back(font = MakeFont(layout.font, layout.points));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (layout.kind == ControlKind::kDropBox) text1_ = control;
    if (layout.kind == ControlKind::kScratchBox) text3_ = control;
  }
  // The file manager drops through OLE; older programs still send the list
  // as a message, and so does the desktop where OLE could not start.
  drop_target_ = DropTarget::Make([this](HDROP drop) { Text1_OLEDragDrop(drop); });
  RegisterDragDrop(text1_, drop_target_);
  DragAcceptFiles(text1_, TRUE);
  SetWindowSubclass(text1_, DropBoxProcedure, kDropBoxSubclass, reinterpret_cast<DWORD_PTR>(this));
}

HWND Form1::CreateControl(const ControlLayout& layout, int id) {
  return CreateWindowExW(0, ClassOf(layout.kind), WideFromUtf8(layout.text).c_str(),
                         StyleOf(layout), layout.left, layout.top, layout.width, layout.height,
                         window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                         nullptr);
}

void Form1::Form_Load() {
  SetWindowLongW(window_, GWL_EXSTYLE, GetWindowLongW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window_, m_transparencyKey, 0, LWA_COLORKEY);
  BOOL composition = FALSE;
  DwmIsCompositionEnabled(&composition);
  if (composition) {
    MARGINS margins = {-1, -1, -1, -1};
    DwmExtendFrameIntoClientArea(window_, &margins);
  }
}

void Form1::Form_Paint() {
  PAINTSTRUCT paint;
  HDC context = BeginPaint(window_, &paint);
  HBRUSH brush = CreateSolidBrush(m_transparencyKey);
  HGDIOBJ kept = SelectObject(context, brush);
  RECT client;
  GetClientRect(window_, &client);
  FillRect(context, &client, brush);
  SelectObject(context, kept);
  DeleteObject(brush);
  EndPaint(window_, &paint);
}

// Any button pressed on the body moves the window, as its caption would;
// the controls keep their presses to themselves.
void Form1::Form_MouseDown() {
  ReleaseCapture();
  SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Form1::Command10_Click() {
  std::wstring page = ProgramFolder() + L"\\help\\index.html";
  ShellExecuteW(window_, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK Form1::DropBoxProcedure(HWND box, UINT message, WPARAM w, LPARAM l,
                                         UINT_PTR /*id*/, DWORD_PTR form) {
  if (message == WM_DROPFILES) {
    reinterpret_cast<Form1*>(form)->Text1_OLEDragDrop(reinterpret_cast<HDROP>(w));
    DragFinish(reinterpret_cast<HDROP>(w));
    return 0;
  }
  return DefSubclassProc(box, message, w, l);
}

// The dropped paths, as the file manager gives them, run together, with the
// spaces at both ends taken off.
void Form1::Text1_OLEDragDrop(HDROP drop) {
  std::wstring text;
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    text += path;
  }
  size_t first = text.find_first_not_of(L' ');
  text = first == std::wstring::npos ? L""
                                     : text.substr(first, text.find_last_not_of(L' ') - first + 1);
  SetWindowTextW(text1_, text.c_str());
}

void Form1::Click(int id) {
  int index = id - kFirstId;
  if (index < 0 || index >= static_cast<int>(std::size(kForm1Controls))) return;
  const ControlLayout& layout = kForm1Controls[index];
  if (layout.kind == ControlKind::kHelpButton) Command10_Click();
  if (layout.kind != ControlKind::kButton || busy_) return;
  RunCommand(*layout.command, *this, fs_, &history_);
  EndBusy();
}

// Ctrl+Z undoes typing while there is typing to undo, once, as the box
// knows one step only; else it is the window's, which undoes the latest run.
bool Form1::TakeUndoKey(const MSG& message) {
  if (!IsUndoKey(message) || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
    return false;
  }
  if (IsEdit(message.hwnd) && SendMessageW(message.hwnd, EM_CANUNDO, 0, 0)) {
    SendMessageW(message.hwnd, EM_UNDO, 0, 0);
    SendMessageW(message.hwnd, EM_EMPTYUNDOBUFFER, 0, 0);
  } else if (!busy_) {
    UndoLast();
  }
  return true;
}

void Form1::UndoLast() {
  UndoLatest(history_, *this, fs_);
  EndBusy();
}

void Form1::PutPrompt() {
  if (busy_) {
    prompt_due_ = true;
    return;
  }
  SetWindowTextW(text1_, WideFromUtf8(kPrompt).c_str());
}

void Form1::EndBusy() {
  busy_.reset();
  if (prompt_due_) PutPrompt();
  prompt_due_ = false;
}

bool Form1::Confirm(const std::string& prompt, const std::string& title) {
  return ConfirmRun(prompt, title, [] { return std::nullopt; });
}

// Working the preview out reads the whole folder: the wait cursor is up
// meanwhile, and down again before the question.
bool Form1::ConfirmRun(const std::string& prompt, const std::string& title,
                       const std::function<std::optional<Preview>()>& preview) {
  HCURSOR kept = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  std::optional<Preview> told = preview();
  SetCursor(kept);
  if (AskBox(window_, prompt, title, Offer::kCancel, told) != Answer::kOk) return false;
  busy_ = std::make_unique<ProgressWindow>(instance_, window_);
  return true;
}

void Form1::Report(const std::string& text) {
  EndBusy();
  AskBox(window_, text, kReportTitle, Offer::kNothing);
}

bool Form1::ReportUndoable(const std::string& text) {
  EndBusy();
  if (AskBox(window_, text, kReportTitle, Offer::kUndo) != Answer::kUndo) return false;
  busy_ = std::make_unique<ProgressWindow>(instance_, window_);
  return true;
}

std::string Form1::DropBoxText() { return Utf8FromWide(TextOf(text1_)); }

void Form1::SetScratchText(const std::string& text) {
  SetWindowTextW(text3_, WideFromUtf8(text).c_str());
}

std::string Form1::ScratchText() { return Utf8FromWide(TextOf(text3_)); }

void Form1::Progress(int done, int total, const std::string& item) {
  if (busy_) busy_->Progress(done, total, item);
}

}  // namespace varnelo
