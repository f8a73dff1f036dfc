#ifndef VARNELO_WINDOW_PROMPT_H_
#define VARNELO_WINDOW_PROMPT_H_

namespace varnelo {

// What the drop box shows until a folder is dropped on it, and so what a
// command reads when it starts before a drop. Apart from the box, so that
// what feeds a command this text needs no widgets.
inline constexpr char kPrompt[] = "请拖拽文件夹至此\r\n单独的文件不可以";

}  // namespace varnelo

#endif  // VARNELO_WINDOW_PROMPT_H_
