// The standard dialogs, each driven to confirm and to cancel.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <filesystem>
#include <fstream>

#include "core/fonts.h"
#include "gui/tests/gui_test_support.h"

namespace {

const char* const BitmapPattern = "Bitmap (*.bmp)|*.bmp|Any (*.*)|*.*";

class FileDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* root = std::getenv("KILN_GUI_TEST_ROOT");
    ASSERT_NE(root, nullptr);
    folder = std::filesystem::path(root) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  std::string In(const char* name) const { return (folder / name).string(); }
  std::filesystem::path folder;
};

struct FileDialogView {
  QStringList filters;
  QString selectedFilter;
  QString directory;
  QString name;
};

// Opens the dialog, notes what it shows, then runs `finish` on it.
std::string RunFileDialog(bool save, std::string_view defaultFile, int position, FileDialogView* view,
                          const std::function<void(QFileDialog*)>& finish) {
  ModalDriver driver([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (dialog == nullptr) {
      modal->close();
      return;
    }
    view->filters = dialog->nameFilters();
    view->selectedFilter = dialog->selectedNameFilter();
    view->directory = dialog->directory().absolutePath();
    if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) view->name = edit->text();
    finish(dialog);
  });
  const std::string result = save ? AskFileToSave("save", defaultFile, BitmapPattern, position)
                                  : AskFileToOpen("open", defaultFile, BitmapPattern, position);
  EXPECT_TRUE(driver.handled);
  return result;
}

void Accept(QFileDialog* dialog) { QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); }
void Cancel(QFileDialog* dialog) { dialog->reject(); }

TEST_F(FileDialogs, OffersThePatternsAndPreselectsThePosition) {
  FileDialogView view;
  RunFileDialog(false, In("charset.bmp"), 0, &view, Cancel);
  ASSERT_EQ(view.filters.size(), 2);
  EXPECT_TRUE(view.filters[0].startsWith(QStringLiteral("Bitmap (*.bmp)")));
  EXPECT_EQ(view.selectedFilter.toStdString(), "Bitmap (*.bmp)");
  // "*.*" matches names without a dot as well.
  EXPECT_TRUE(view.filters[1].endsWith(QStringLiteral("(*)")));
  RunFileDialog(true, In("charset.bmp"), 1, &view, Cancel);
  EXPECT_EQ(view.selectedFilter.toStdString(), "Any (*.*)");
}

TEST_F(FileDialogs, DefaultFileGivesTheFolderAndTheName) {
  FileDialogView view;
  const std::string chosen = RunFileDialog(true, In("charset.bmp"), 0, &view, Accept);
  EXPECT_EQ(view.directory.toStdString(), folder.string());
  EXPECT_EQ(view.name, QStringLiteral("charset.bmp"));
  EXPECT_EQ(chosen, In("charset.bmp"));
}

TEST_F(FileDialogs, BackslashSplitsTheDefaultFileToo) {
  FileDialogView view;
  const std::string chosen = RunFileDialog(true, folder.string() + "\\charset.bmp", 0, &view, Accept);
  EXPECT_EQ(view.directory.toStdString(), folder.string());
  EXPECT_EQ(chosen, In("charset.bmp"));
}

TEST_F(FileDialogs, APatternAsTheNameIsCleared) {
  FileDialogView view;
  RunFileDialog(false, In("*.bmp"), 0, &view, Cancel);
  EXPECT_EQ(view.directory.toStdString(), folder.string());
  EXPECT_EQ(view.name, QString());
}

TEST_F(FileDialogs, CancelGivesAnEmptyText) {
  FileDialogView view;
  EXPECT_EQ(RunFileDialog(false, In("charset.bmp"), 0, &view, Cancel), "");
  EXPECT_EQ(RunFileDialog(true, In("charset.bmp"), 0, &view, Cancel), "");
}

TEST_F(FileDialogs, OpenAcceptsANameThatDoesNotExistYet) {
  FileDialogView view;
  EXPECT_EQ(RunFileDialog(false, In("new.bmp"), 0, &view, Accept), In("new.bmp"));
}

TEST_F(FileDialogs, SaveReplacesAnExistingFileWithoutAsking) {
  std::ofstream(In("old.bmp")) << "x";
  FileDialogView view;
  EXPECT_EQ(RunFileDialog(true, In("old.bmp"), 0, &view, Accept), In("old.bmp"));
}

TEST_F(FileDialogs, ANameInAMissingFolderIsRefusedAndTheDialogStaysOpen) {
  FileDialogView view;
  bool stayedOpen = false;
  const std::string chosen = RunFileDialog(true, In("charset.bmp"), 0, &view, [&](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString(In("missing/charset.bmp")));
    Accept(dialog);
    stayedOpen = dialog->isVisible();
    dialog->reject();
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(chosen, "");
}

// --- message box ------------------------------------------------------------------

struct MessageCase {
  int flags;
  QMessageBox::Icon icon;
  QMessageBox::StandardButton press;  // NoButton: close the box
  int answer;
};

TEST(MessageBox, ButtonsIconsAndAnswersFollowTheFlags) {
  const MessageCase cases[] = {
      {0, QMessageBox::NoIcon, QMessageBox::Ok, AnswerOk},
      {0, QMessageBox::NoIcon, QMessageBox::NoButton, AnswerOk},
      {0x10, QMessageBox::Critical, QMessageBox::Ok, AnswerOk},
      {0x15, QMessageBox::Critical, QMessageBox::Retry, AnswerRetry},
      {0x15, QMessageBox::Critical, QMessageBox::Cancel, AnswerCancel},
      {0x15, QMessageBox::Critical, QMessageBox::NoButton, AnswerCancel},
      {0x35, QMessageBox::Warning, QMessageBox::Retry, AnswerRetry},
      {0x35, QMessageBox::Warning, QMessageBox::NoButton, AnswerCancel},
      {0x24, QMessageBox::Question, QMessageBox::No, AnswerNo},
      {0x41, QMessageBox::Information, QMessageBox::NoButton, AnswerCancel},
  };
  for (const MessageCase& c : cases) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver driver([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr) {
        modal->close();
        return;
      }
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      if (c.press == QMessageBox::NoButton) {
        box->close();
      } else if (QAbstractButton* button = box->button(c.press)) {
        button->click();
      } else {
        box->close();
      }
    });
    const int answer = ShowMessage("Error", "Unable to load image\n/x <y>.bmp", c.flags);
    EXPECT_TRUE(driver.handled);
    EXPECT_EQ(answer, c.answer) << "flags " << c.flags;
    EXPECT_EQ(icon, c.icon) << "flags " << c.flags;
    EXPECT_EQ(title, QStringLiteral("Error"));
    EXPECT_EQ(text, QStringLiteral("Unable to load image\n/x <y>.bmp"));
  }
}

// --- colour dialog -----------------------------------------------------------------

TEST(ColourDialog, StartsOnTheInitialColourAndReturnsTheChoice) {
  QColor shown;
  ModalDriver black([&](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    if (dialog == nullptr) return modal->close(), void();
    shown = dialog->currentColor();
    dialog->accept();
  });
  EXPECT_EQ(AskColour(-1), 0);
  EXPECT_EQ(shown, QColor(0, 0, 0));

  QColor custom;
  ModalDriver pick([&](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    if (dialog == nullptr) return modal->close(), void();
    shown = dialog->currentColor();
    custom = QColorDialog::customColor(0);
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    dialog->accept();
  });
  EXPECT_EQ(AskColour(0x00FF8040), 0x00563412);
  EXPECT_EQ(shown, QColor(0x40, 0x80, 0xFF));
  EXPECT_EQ(custom, QColor(0x40, 0x80, 0xFF));
}

TEST(ColourDialog, CancelGivesMinusOne) {
  for (const int initial : {-1, 0, 0xFFFFFF}) {
    ModalDriver cancel([](QWidget* modal) { modal->close(); });
    EXPECT_EQ(AskColour(initial), -1);
    EXPECT_TRUE(cancel.handled);
  }
}

// --- font dialog -------------------------------------------------------------------

struct FontDialogParts {
  QListWidget* faces = nullptr;
  QComboBox* size = nullptr;
  QCheckBox* bold = nullptr;
  QCheckBox* italic = nullptr;
  QCheckBox* underline = nullptr;
  QCheckBox* strikeOut = nullptr;
  QComboBox* colour = nullptr;
  QLabel* sample = nullptr;
  QDialogButtonBox* buttons = nullptr;
};

FontDialogParts PartsOf(QWidget* dialog) {
  FontDialogParts parts;
  parts.faces = dialog->findChild<QListWidget*>(QStringLiteral("faces"));
  parts.size = dialog->findChild<QComboBox*>(QStringLiteral("size"));
  parts.bold = dialog->findChild<QCheckBox*>(QStringLiteral("bold"));
  parts.italic = dialog->findChild<QCheckBox*>(QStringLiteral("italic"));
  parts.underline = dialog->findChild<QCheckBox*>(QStringLiteral("underline"));
  parts.strikeOut = dialog->findChild<QCheckBox*>(QStringLiteral("strikeout"));
  parts.colour = dialog->findChild<QComboBox*>(QStringLiteral("colour"));
  parts.sample = dialog->findChild<QLabel*>(QStringLiteral("sample"));
  parts.buttons = dialog->findChild<QDialogButtonBox*>();
  return parts;
}

TEST(FontDialog, StartsOnTheGivenFontAndReportsTheChoice) {
  QString face;
  QString size;
  bool sampleDrawn = false;
  bool boldAtStart = true;
  ModalDriver driver([&](QWidget* modal) {
    const FontDialogParts parts = PartsOf(modal);
    if (parts.faces == nullptr || parts.size == nullptr || parts.colour == nullptr || parts.underline == nullptr) {
      modal->close();
      return;
    }
    face = parts.faces->currentItem() != nullptr ? parts.faces->currentItem()->text() : QString();
    size = parts.size->currentText();
    boldAtStart = parts.bold->isChecked();
    sampleDrawn = !parts.sample->pixmap().isNull();
    parts.size->setEditText(QStringLiteral("10.5"));
    parts.bold->setChecked(true);
    parts.italic->setChecked(true);
    parts.colour->setCurrentIndex(parts.colour->findText(QStringLiteral("Red")));
    parts.buttons->button(QDialogButtonBox::Ok)->click();
  });
  ASSERT_EQ(AskFont("Liberation Sans", 8, FontDialogEffects, 0xFFFFFF, 0), 1);
  EXPECT_EQ(face, QStringLiteral("Liberation Sans"));
  EXPECT_EQ(size, QStringLiteral("8"));
  EXPECT_FALSE(boldAtStart);
  EXPECT_TRUE(sampleDrawn);
  EXPECT_EQ(ChosenFontName(), "Liberation Sans");
  EXPECT_EQ(ChosenFontSize(), 10);
  EXPECT_EQ(ChosenFontStyle(), FontBold | FontItalic);
  EXPECT_EQ(ChosenFontColour(), 0x0000FF);
}

TEST(FontDialog, UnderlineAloneGivesFour) {
  ModalDriver driver([&](QWidget* modal) {
    const FontDialogParts parts = PartsOf(modal);
    if (parts.underline == nullptr) return modal->close(), void();
    parts.underline->setChecked(true);
    parts.buttons->button(QDialogButtonBox::Ok)->click();
  });
  ASSERT_EQ(AskFont("Liberation Sans", 12, FontDialogEffects, -1, 0), 1);
  EXPECT_EQ(ChosenFontStyle(), FontUnderline);
  EXPECT_EQ(ChosenFontSize(), 12);
  EXPECT_EQ(ChosenFontColour(), 0);
}

TEST(FontDialog, SizesOutsideOneTo400PointsCannotBeConfirmed) {
  bool refused = false;
  ModalDriver driver([&](QWidget* modal) {
    const FontDialogParts parts = PartsOf(modal);
    if (parts.size == nullptr) return modal->close(), void();
    QPushButton* ok = parts.buttons->button(QDialogButtonBox::Ok);
    parts.size->setEditText(QStringLiteral("401"));
    refused = !ok->isEnabled();
    parts.size->setEditText(QStringLiteral("0.5"));
    refused = refused && !ok->isEnabled();
    parts.size->setEditText(QStringLiteral("400"));
    refused = refused && ok->isEnabled();
    modal->close();
  });
  EXPECT_EQ(AskFont("Liberation Sans", 8, 0, -1, 0), 0);
  EXPECT_TRUE(refused);
}

TEST(FontDialog, CancelGivesZero) {
  ModalDriver driver([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(AskFont("Liberation Sans", 8, FontDialogEffects, 0, FontBold), 0);
  EXPECT_TRUE(driver.handled);
}

}  // namespace
