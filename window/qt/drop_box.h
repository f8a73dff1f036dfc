#ifndef VARNELO_WINDOW_QT_DROP_BOX_H_
#define VARNELO_WINDOW_QT_DROP_BOX_H_

#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>

#include "filesystem/file_system.h"
#include "window/prompt.h"
#include "window/raw_text.h"

class QMimeData;

namespace varnelo {

// The box the user drops a folder on. A drop of files shows their paths run
// together; a drag of anything else is refused. Typing and pasting edit the
// text as in any text box.
class DropBox : public QPlainTextEdit {
  Q_OBJECT

 public:
  DropBox(QWidget* parent, FileSystem* fs);

  void SetBytes(const QByteArray& bytes);
  QByteArray Bytes() const { return raw_.Bytes(toPlainText()); }
  void PutPrompt() { SetBytes(kPrompt); }

 protected:
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void Text1_OLEDragDrop(const QList<QByteArray>& paths);

  FileSystem* fs_;
  RawText raw_;
};

// A one-line box whose text a command writes and reads back.
class ScratchBox : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;

  void SetBytes(const QByteArray& bytes);
  QByteArray Bytes() const { return raw_.Bytes(text()); }

 private:
  RawText raw_;
};

// The local paths that dragged data carries, as raw bytes, in order: none
// when it carries no file list.
QList<QByteArray> DroppedPaths(const QMimeData& data);

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_DROP_BOX_H_
