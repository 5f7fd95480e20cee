// The file dialogs, the colour dialog and the message box. Every one is
// application-modal, so the program's windows take no input while it is up.
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <array>
#include <vector>

#include "gui/gui_internal.h"

namespace {

// Paths longer than this are not returned: no file call of ours takes them.
constexpr std::size_t FilePathMaxBytes = 4095;
constexpr std::size_t FileNameMaxBytes = 259;

bool ValidFileName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32) return false;
    if (std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos) return false;
  }
  return true;
}

struct DefaultFile {
  QString folder;
  QString name;
};

DefaultFile SplitDefaultFile(std::string_view file) {
  DefaultFile result;
  const std::size_t at = file.find_last_of("/\\");
  std::string_view name = file;
  if (at != std::string_view::npos) {
    name = file.substr(at + 1);
    // A separator at the start names the root folder here.
    result.folder = at == 0 ? QStringLiteral("/") : ToQt(file.substr(0, at));
  }
  if (name.size() > FileNameMaxBytes) name = {};
  if (ValidFileName(name)) result.name = ToQt(name);
  return result;
}

// "label|pattern|..." as Qt's "label (pattern ...)" filters. "*.*" matches
// every name, with or without a dot, as the pattern promises.
QStringList NameFilters(std::string_view pattern) {
  const QStringList parts = ToQt(pattern).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList globs = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& glob : globs) {
      glob = glob.trimmed();
      if (glob == QStringLiteral("*.*")) glob = QStringLiteral("*");
    }
    filters.push_back(parts[i] + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')'));
  }
  return filters;
}

// A name in a folder that does not exist is refused; the dialog stays open.
class PathCheckingFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  void accept() override {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
      const QFileInfo info(files.first());
      if (!info.isDir() && !info.absoluteDir().exists()) return;
    }
    QFileDialog::accept();
  }
};

std::string AskFile(bool save, std::string_view title, std::string_view defaultFile, std::string_view pattern,
                    int position) {
  if (QApplication::instance() == nullptr) return {};
  PathCheckingFileDialog dialog(DialogOwner(), ToQt(title));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  const QStringList filters = NameFilters(pattern);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const qsizetype chosen = position >= 0 && position < filters.size() ? position : 0;
    dialog.selectNameFilter(filters[chosen]);
  }
  const DefaultFile start = SplitDefaultFile(defaultFile);
  if (!start.folder.isEmpty()) dialog.setDirectory(start.folder);
  if (!start.name.isEmpty()) dialog.selectFile(start.name);
  ReportDialog("file", title, defaultFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return {};
  const QByteArray path = files.first().toUtf8();
  if (path.isEmpty() || static_cast<std::size_t>(path.size()) > FilePathMaxBytes) return {};
  return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

QColor ToQColor(int colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }
int FromQColor(const QColor& colour) { return colour.red() | (colour.green() << 8) | (colour.blue() << 16); }

// Kept for the run, black at start.
std::array<int, 16> customColours{};

}  // namespace

std::string AskFileToOpen(std::string_view title, std::string_view defaultFile, std::string_view pattern, int position) {
  return AskFile(false, title, defaultFile, pattern, position);
}

std::string AskFileToSave(std::string_view title, std::string_view defaultFile, std::string_view pattern, int position) {
  return AskFile(true, title, defaultFile, pattern, position);
}

int AskColour(int initial) {
  if (QApplication::instance() == nullptr) return -1;
  const int start = initial == -1 ? 0 : (initial & 0xFFFFFF);
  customColours[0] = start;
  for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, ToQColor(customColours[static_cast<std::size_t>(i)]));
  QColorDialog dialog(ToQColor(start), DialogOwner());
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  const int answer = dialog.exec();
  for (int i = 0; i < 16; ++i) customColours[static_cast<std::size_t>(i)] = FromQColor(QColorDialog::customColor(i));
  return answer == QDialog::Accepted ? FromQColor(dialog.selectedColor()) : -1;
}

int ShowMessage(std::string_view title, std::string_view text, int flags) {
  if (QApplication::instance() == nullptr) return 0;
  QMessageBox box(DialogOwner());
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(ToQt(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQt(text));
  ReportDialog("message", title, text);
  switch (flags & 0xF0) {
    case MessageIconError: box.setIcon(QMessageBox::Critical); break;
    case MessageIconQuestion: box.setIcon(QMessageBox::Question); break;
    case MessageIconExclamation: box.setIcon(QMessageBox::Warning); break;
    case MessageIconInformation: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  struct Choice {
    QAbstractButton* button;
    int answer;
  };
  std::vector<Choice> choices;
  auto add = [&](QMessageBox::StandardButton button, int answer) { choices.push_back({box.addButton(button), answer}); };
  auto addNamed = [&](const char* label, int answer) {
    choices.push_back({box.addButton(QString::fromLatin1(label), QMessageBox::AcceptRole), answer});
  };
  switch (flags & 0xF) {
    case MessageOkCancel: add(QMessageBox::Ok, AnswerOk); add(QMessageBox::Cancel, AnswerCancel); break;
    case MessageAbortRetryIgnore:
      add(QMessageBox::Abort, AnswerAbort); add(QMessageBox::Retry, AnswerRetry); add(QMessageBox::Ignore, AnswerIgnore);
      break;
    case MessageYesNoCancel:
      add(QMessageBox::Yes, AnswerYes); add(QMessageBox::No, AnswerNo); add(QMessageBox::Cancel, AnswerCancel);
      break;
    case MessageYesNo: add(QMessageBox::Yes, AnswerYes); add(QMessageBox::No, AnswerNo); break;
    case MessageRetryCancel: add(QMessageBox::Retry, AnswerRetry); add(QMessageBox::Cancel, AnswerCancel); break;
    case MessageCancelTryContinue:
      add(QMessageBox::Cancel, AnswerCancel); addNamed("&Try Again", AnswerTryAgain); addNamed("&Continue", AnswerContinue);
      break;
    default: add(QMessageBox::Ok, AnswerOk); break;
  }
  const std::size_t defaultIndex = static_cast<std::size_t>((flags >> 8) & 0xF);
  if (defaultIndex < choices.size()) {
    if (auto* push = qobject_cast<QPushButton*>(choices[defaultIndex].button)) box.setDefaultButton(push);
  }
  // Closing the box answers Cancel where there is one, OK where OK is the
  // only button; boxes with neither cannot be closed, only answered.
  const Choice* escape = nullptr;
  for (const Choice& choice : choices) {
    if (choice.answer == AnswerCancel) escape = &choice;
  }
  if (escape == nullptr && choices.size() == 1) escape = &choices.front();
  if (escape != nullptr) {
    box.setEscapeButton(escape->button);
  } else {
    box.setWindowFlag(Qt::WindowCloseButtonHint, false);
  }
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  for (const Choice& choice : choices) {
    if (choice.button == clicked) return choice.answer;
  }
  return escape != nullptr ? escape->answer : choices.back().answer;
}
