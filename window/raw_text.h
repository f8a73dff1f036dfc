#ifndef VARNELO_WINDOW_RAW_TEXT_H_
#define VARNELO_WINDOW_RAW_TEXT_H_

#include <QByteArray>
#include <QFile>
#include <QString>
#include <utility>

namespace varnelo {

// The bytes behind a control's text. A Linux path may hold any bytes, also
// ones no text can show, so the bytes set are kept beside the text shown and
// stay the control's value until that text is changed.
class RawText {
 public:
  // The text that shows `bytes`.
  static QString Shown(const QByteArray& bytes) { return QFile::decodeName(bytes); }

  // Call with the text the control holds right after showing `bytes`.
  void Remember(QByteArray bytes, QString shown) {
    bytes_ = std::move(bytes);
    shown_ = std::move(shown);
  }

  // The control's value while it holds `shown`.
  QByteArray Bytes(const QString& shown) const {
    return shown == shown_ ? bytes_ : QFile::encodeName(shown);
  }

 private:
  QByteArray bytes_;
  QString shown_;
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_RAW_TEXT_H_
