// The composer's start-up, saving and guards, on Qt's offscreen platform.
#include "composer/composer_window.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <filesystem>

#include "composer/compose.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/tests/test_files.h"
#include "gui/tests/gui_test_support.h"

namespace {

// Types the full `path` into a file dialog's name field, as a user would;
// selectFile would depend on the dialog's folder listing having loaded.
void Choose(QFileDialog* dialog, const std::string& path) {
  if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    name->setText(QString::fromStdString(path));
  }
}

// Answers the next file dialog with `path`.
std::unique_ptr<ModalDriver> AnswerFileDialog(const std::string& path) {
  return std::make_unique<ModalDriver>([path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return modal->close(), void();
    Choose(dialog, path);
    QMetaObject::invokeMethod(dialog, "accept");
  });
}

// Runs events for a while, so that a dialog that should not open would.
void Settle() {
  const QDeadlineTimer deadline(400);
  while (!deadline.hasExpired()) PollEvent(20);
}

class ComposerWindowTest : public ::testing::Test {
 protected:
  ~ComposerWindowTest() override {
    DropWindow(ComposerWindow);
    DrainEvents();
    ShutdownImages();
  }

  std::string Sheet(int width) {
    const std::string path = folder / ("sheet" + std::to_string(width) + ".bmp");
    MakeImage(9, width, width);
    WriteImageBmp(9, path.c_str());
    DropImage(9);
    return path;
  }

  void Start(const std::string& sheet) {
    auto answer = AnswerFileDialog(sheet);
    ASSERT_EQ(StartComposer(), 1);
  }

  TempFolder folder;
};

TEST_F(ComposerWindowTest, SaveBeforeAnyCompositionShowsNoDialog) {
  Start(Sheet(200));
  EXPECT_EQ(ControlText(WidthSpin), "16");
  ModalDriver unexpected([](QWidget* modal) { modal->close(); }, 300);
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  Settle();
  EXPECT_FALSE(unexpected.handled);
}

TEST_F(ComposerWindowTest, ASheetNarrowerThanFiftyPixelsComposesNothing) {
  Start(Sheet(45));
  SetControlText(CaptionField, "AB");
  Recompose();
  EXPECT_EQ(ImageExists(ButtonImage), 0);
  EXPECT_EQ(ControlValue(PreviewView), 0);
}

TEST_F(ComposerWindowTest, AnEmptiedCaptionKeepsTheLastImageShownAndSaveable) {
  Start(Sheet(200));
  SetControlText(CaptionField, "AB");
  Recompose();
  const ImageHandleValue shown = ImageHandle(ButtonImage);
  ASSERT_NE(shown, 0u);
  SetControlText(CaptionField, "   ");
  Recompose();
  EXPECT_EQ(ImageHandle(ButtonImage), shown);
  EXPECT_EQ(ControlValue(PreviewView), static_cast<std::intptr_t>(shown));

  const std::string target = folder / "saved";
  auto answer = AnswerFileDialog(target);
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  ASSERT_TRUE(std::filesystem::exists(target + ".bmp"));
  ReadImageFile(7, (target + ".bmp").c_str());
  EXPECT_EQ(ImagePixelWidth(7), 32);
}

TEST_F(ComposerWindowTest, AFailedSaveIsReported) {
  Start(Sheet(200));
  SetControlText(CaptionField, "AB");
  Recompose();
  const std::string blocked = folder / "blocked";
  std::filesystem::create_directory(blocked + ".bmp");  // a folder where the file would go
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::unique_ptr<ModalDriver> report;
  auto answer = std::make_unique<ModalDriver>([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return modal->close(), void();
    Choose(dialog, blocked);
    // The message box comes once the dialog has gone.
    report = std::make_unique<ModalDriver>([&](QWidget* box) {
      if (auto* message = qobject_cast<QMessageBox*>(box)) {
        title = message->windowTitle();
        text = message->text();
        icon = message->icon();
      }
      box->close();
    });
    QMetaObject::invokeMethod(dialog, "accept");
  });
  HandleComposerEvent(ControlEvent, SaveButton, 0);
  EXPECT_EQ(title, QStringLiteral("Error"));
  EXPECT_EQ(text, QStringLiteral("Unable to save in specified format."));
  EXPECT_EQ(icon, QMessageBox::Critical);
}

}  // namespace
