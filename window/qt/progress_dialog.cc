#include "window/qt/progress_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "filesystem/names.h"
#include "window/raw_text.h"

namespace varnelo {
namespace {

constexpr int kWidth = 360;

}  // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      name_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
  setObjectName("Progress");
  setWindowTitle(QString::fromUtf8(kProgressTitle));
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromUtf8(kProgressTitle), this));
  layout->addWidget(name_);
  layout->addWidget(bar_);
  name_->setObjectName("Name");
  name_->setTextFormat(Qt::PlainText);
  setFixedWidth(kWidth);
}

void ProgressDialog::Show(int done, int total, std::string_view path) {
  bar_->setRange(0, std::max(total, 0));
  if (total > 0) bar_->setValue(std::clamp(done, 0, total));
  // A long name keeps its start and its extension in sight.
  std::string_view bytes = NameOf(path);
  QString name = RawText::Shown(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  QMargins margins = layout()->contentsMargins();
  int width = kWidth - margins.left() - margins.right();
  name_->setText(name_->fontMetrics().elidedText(name, Qt::ElideMiddle, width));
}

void ProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace varnelo
