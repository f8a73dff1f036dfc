#include "window/qt/drop_box.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include "filesystem/failure.h"

namespace varnelo {
namespace {

QByteArray TrimSpaces(const QByteArray& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return text.sliced(begin, end - begin);
}

bool Exists(FileSystem* fs, const QByteArray& path) {
  try {
    return fs->Inspect(path.toStdString()).has_value();
  } catch (const Failure&) {
    return false;
  }
}

// Takes a drag that carries files, and only as a copy: a file manager told
// that its files were moved would remove them, while the box keeps no more
// than their paths.
bool AcceptFiles(QDropEvent* event) {
  if (DroppedPaths(*event->mimeData()).isEmpty()) {
    event->ignore();
    return false;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  return true;
}

}  // namespace

DropBox::DropBox(QWidget* parent, FileSystem* fs) : QPlainTextEdit(parent), fs_(fs) {
  setAcceptDrops(true);
  // A path holds no tab; the key leads on to the buttons.
  setTabChangesFocus(true);
}

void DropBox::SetBytes(const QByteArray& bytes) {
  setPlainText(RawText::Shown(bytes));
  raw_.Remember(bytes, toPlainText());
}

// Ctrl+Z undoes typing while there is typing to undo; else it is the
// window's, which undoes the latest run.
bool DropBox::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo) &&
      !document()->isUndoAvailable()) {
    event->ignore();
    return true;
  }
  return QPlainTextEdit::event(event);
}

void DropBox::dragEnterEvent(QDragEnterEvent* event) { AcceptFiles(event); }

void DropBox::dragMoveEvent(QDragMoveEvent* event) { AcceptFiles(event); }

void DropBox::dropEvent(QDropEvent* event) {
  if (AcceptFiles(event)) Text1_OLEDragDrop(DroppedPaths(*event->mimeData()));
}

void DropBox::Text1_OLEDragDrop(const QList<QByteArray>& paths) {
  QByteArray text = paths.join();
  // The ends lose their spaces, unless the text names what was dropped: a
  // Linux name may end in a space, and without it would name another entry.
  if (!Exists(fs_, text)) text = TrimSpaces(text);
  SetBytes(text);
}

void ScratchBox::SetBytes(const QByteArray& bytes) {
  setText(RawText::Shown(bytes));
  raw_.Remember(bytes, text());
}

QList<QByteArray> DroppedPaths(const QMimeData& data) {
  QList<QByteArray> paths;
  for (const QUrl& url : data.urls()) {
    // The encoded form keeps bytes that are no text as they were.
    if (url.isLocalFile()) {
      paths.append(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    }
  }
  return paths;
}

}  // namespace varnelo
