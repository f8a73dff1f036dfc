#include "window/qt/form1.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <utility>

#include "commands/commands.h"
#include "commands/frame.h"
#include "window/qt/application.h"
#include "window/qt/drop_box.h"

namespace varnelo {
namespace {

QFont Font(const char* family, double points) {
  QFont font(QString::fromUtf8(family));
  font.setPointSizeF(points);
  return font;
}

template <typename Control, typename... Arguments>
Control* Place(const ControlLayout& layout, Arguments&&... arguments) {
  auto* control = new Control(std::forward<Arguments>(arguments)...);
  control->setObjectName(layout.name);
  control->setGeometry(layout.left, layout.top, layout.width, layout.height);
  if (layout.font) control->setFont(Font(layout.font, layout.points));
  // Out of sight, a control takes no focus, so tabbing never leads there.
  if (layout.hidden()) control->setFocusPolicy(Qt::NoFocus);
  return control;
}

}  // namespace

Form1::Form1(Desktop& desktop, FileSystem* fs, ProgressTiming timing)
    : desktop_(desktop), fs_(fs), timing_(timing) {
  setWindowTitle(kCaption);
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls();
  Form_Load();
}

// Created in tab order, as the layout lists them.
void Form1::CreateControls() {
  for (const ControlLayout& layout : kForm1Controls) CreateControl(layout);
  auto* undo = new QShortcut(QKeySequence::Undo, this);
  undo->setObjectName("UndoShortcut");
  connect(undo, &QShortcut::activated, this, [this] { UndoLast(); });
}

void Form1::CreateControl(const ControlLayout& layout) {
  const QString text = QString::fromUtf8(layout.text);
  switch (layout.kind) {
    case ControlKind::kDropBox:
      text1_ = Place<DropBox>(layout, this, fs_);
      text1_->SetBytes(layout.text);
      break;
    case ControlKind::kTextBox:
      Place<QLineEdit>(layout, text, this);
      break;
    case ControlKind::kScratchBox:
      text3_ = Place<ScratchBox>(layout, text, this);
      break;
    case ControlKind::kButton: {
      auto* button = Place<QPushButton>(layout, text, this);
      const Command& command = *layout.command;
      connect(button, &QPushButton::clicked, this, [this, &command] { Run(command); });
      break;
    }
    case ControlKind::kHelpButton: {
      auto* button = Place<QPushButton>(layout, text, this);
      connect(button, &QPushButton::clicked, this, [this] { Command10_Click(); });
      break;
    }
    case ControlKind::kPictureBox: {
      auto* picture = Place<QLabel>(layout, this);
      picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      picture->setLineWidth(2);
      break;
    }
  }
}

// The window and Picture1 measure in pixels already.
void Form1::Form_Load() {
  m_transparencyKey = QColor(255, 255, 1);
  layer_.SetExtendedStyle(layer_.ExtendedStyle() | kLayered);
  layer_.SetColorKey(m_transparencyKey);
  if (desktop_.CompositionEnabled()) layer_.ExtendFrameOverWindow();
}

void Form1::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  layer_.FillRect(painter, rect(), m_transparencyKey);
}

// Form_MouseDown: any button moves the window, but only from its body. A
// control passes up the presses it has no use for (a button all but the
// left, the drop box the right and the middle), and those must not move it.
void Form1::mousePressEvent(QMouseEvent* event) {
  if (childAt(event->position().toPoint()) == nullptr) desktop_.StartMove(windowHandle());
  event->accept();
}

// The prompt comes back when the window is shown, the first time and when
// restored from minimized (both show it), not on every repaint: a dropped
// path has to survive boxes, dialogs and focus changes until a button is
// pressed. Shown again while a command works, it gets the prompt once the
// command has ended, as the box must not change under a command.
void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (busy_) {
    prompt_due_ = true;
  } else {
    text1_->PutPrompt();
  }
  layer_.CutShape();
}

void Form1::Command10_Click() {
  QString page = HelpPage(QCoreApplication::applicationDirPath());
  if (!page.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void Form1::Run(const Command& command) {
  RunCommand(command, *this, fs_, &history_);
  EndBusy();
}

void Form1::UndoLast() {
  UndoLatest(history_, *this, fs_);
  EndBusy();
}

bool Form1::Confirm(const std::string& prompt, const std::string& title) {
  return ConfirmRun(prompt, title, [] { return std::nullopt; });
}

// Working the preview out reads the whole folder: the wait cursor is up
// meanwhile, and down again before the question.
bool Form1::ConfirmRun(const std::string& prompt, const std::string& title,
                       const std::function<std::optional<Preview>()>& preview) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  std::optional<Preview> told = preview();
  QGuiApplication::restoreOverrideCursor();
  if (Ask(QString::fromStdString(prompt), QString::fromStdString(title),
          QMessageBox::Ok | QMessageBox::Cancel, told) != QMessageBox::Ok) {
    return false;
  }
  busy_.emplace(*this, desktop_, timing_);
  return true;
}

void Form1::Report(const std::string& text) {
  EndBusy();
  Ask(QString::fromStdString(text), QGuiApplication::applicationDisplayName(), QMessageBox::Ok);
}

// The undo button stands in for a standard one, so that the desktop answers
// it like any other.
bool Form1::ReportUndoable(const std::string& text) {
  EndBusy();
  if (Ask(QString::fromStdString(text), QGuiApplication::applicationDisplayName(),
          QMessageBox::Ok | QMessageBox::Reset) != QMessageBox::Reset) {
    return false;
  }
  busy_.emplace(*this, desktop_, timing_);
  return true;
}

QMessageBox::StandardButton Form1::Ask(const QString& text, const QString& title,
                                       QMessageBox::StandardButtons buttons,
                                       const std::optional<Preview>& preview) {
  QMessageBox box(QMessageBox::NoIcon, title, text, buttons, this);
  box.setTextFormat(Qt::PlainText);
  if (preview) {
    box.setInformativeText(QString::fromStdString(preview->summary));
    box.setDetailedText(QString::fromStdString(preview->details));
  }
  if (QAbstractButton* undo = box.button(QMessageBox::Reset)) undo->setText("撤销");
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                                                            : QMessageBox::Ok);
  return desktop_.Ask(box);
}

void Form1::EndBusy() {
  busy_.reset();
  if (prompt_due_) text1_->PutPrompt();
  prompt_due_ = false;
}

void Form1::Progress(int done, int total, const std::string& item) {
  if (busy_) busy_->Progress(done, total, item);
}

std::string Form1::DropBoxText() { return text1_->Bytes().toStdString(); }

void Form1::SetScratchText(const std::string& text) {
  text3_->SetBytes(QByteArray::fromStdString(text));
}

std::string Form1::ScratchText() { return text3_->Bytes().toStdString(); }

}  // namespace varnelo
