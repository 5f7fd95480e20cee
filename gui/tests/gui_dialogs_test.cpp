// The standard dialogs: what closing each gives, and the rules of our own on
// top of Qt's (default file, patterns, colour order, font choice).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

#include "core/fonts.h"
#include "gui/tests/gui_test_support.h"

namespace {

const char* const Pattern = "Bitmap (*.bmp)|*.bmp|Any (*.*)|*.*";

TEST(Dialogs, ClosingEachDialogGivesItsCancelValue) {
  const std::pair<const char*, std::function<bool()>> cases[] = {
      {"open", [] { return AskFileToOpen("t", "", Pattern, 0).empty(); }},
      {"save", [] { return AskFileToSave("t", "", Pattern, 0).empty(); }},
      {"colour", [] { return AskColour(0xFFFFFF) == -1; }},
      {"font", [] { return AskFont("Liberation Sans", 8, FontDialogEffects, 0, FontBold) == 0; }},
      {"ok box", [] { return ShowMessage("t", "x", MessageOk | MessageIconError) == AnswerOk; }},
      {"retry box", [] { return ShowMessage("t", "x", MessageRetryCancel) == AnswerCancel; }},
  };
  for (const auto& [name, cancelled] : cases) {
    ModalDriver close([](QWidget* modal) { modal->close(); });
    EXPECT_TRUE(cancelled()) << name;
    EXPECT_TRUE(close.handled) << name;
  }
}

// The default file gives the folder and a file name; "*.*" matches every name;
// a name in a missing folder is refused and the dialog stays open.
TEST(FileDialog, DefaultFileAnyPatternAndNamesInMissingFolders) {
  const std::string folder = std::getenv("KILN_GUI_TEST_ROOT");
  const std::pair<std::string, QString> cases[] = {
      {folder + "/charset.bmp", QStringLiteral("charset.bmp")},
      {folder + "\\charset.bmp", QStringLiteral("charset.bmp")},
      {folder + "/*.bmp", QString()},  // a pattern is no name
  };
  for (const auto& [start, name] : cases) {
    QString shownFolder, shownName, anyFilter;
    bool refused = false;
    ModalDriver driver([&, name = name](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      shownFolder = dialog->directory().absolutePath();
      shownName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
      anyFilter = dialog->nameFilters().value(1);
      if (name.isEmpty()) return dialog->reject();
      Answer(dialog, folder + "/missing/charset.bmp");
      refused = dialog->isVisible();
      Answer(dialog, folder + "/charset.bmp");
    });
    const std::string chosen = AskFileToSave("save", start, Pattern, 0);
    ASSERT_TRUE(driver.handled) << start;
    EXPECT_EQ(shownFolder.toStdString(), folder) << start;
    EXPECT_EQ(shownName, name) << start;
    EXPECT_EQ(refused, !name.isEmpty()) << start;
    EXPECT_EQ(chosen, name.isEmpty() ? "" : folder + "/charset.bmp");
    EXPECT_TRUE(anyFilter.endsWith(QStringLiteral("(*)"))) << anyFilter.toStdString();
  }
}

TEST(ColourDialog, TakesAndGivesColoursAsBlueGreenRed) {
  QColor shown;
  ModalDriver pick([&](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    shown = dialog->currentColor();
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    dialog->accept();
  });
  EXPECT_EQ(AskColour(0x00FF8040), 0x00563412);
  EXPECT_EQ(shown, QColor(0x40, 0x80, 0xFF));
}

TEST(FontDialog, RefusesSizesOutsideOneTo400AndReportsTheChoice) {
  std::vector<bool> confirmable;
  ModalDriver driver([&](QWidget* modal) {
    auto* size = modal->findChild<QComboBox*>(QStringLiteral("size"));
    QPushButton* ok = modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    for (const char* points : {"401", "0.5", "10.5"}) {
      size->setEditText(QString::fromLatin1(points));
      confirmable.push_back(ok->isEnabled());
    }
    for (const char* box : {"bold", "underline"}) modal->findChild<QCheckBox*>(QLatin1String(box))->setChecked(true);
    auto* colour = modal->findChild<QComboBox*>(QStringLiteral("colour"));
    colour->setCurrentIndex(colour->findText(QStringLiteral("Red")));
    ok->click();
  });
  ASSERT_EQ(AskFont("Liberation Sans", 8, FontDialogEffects, 0xFFFFFF, 0), 1);
  EXPECT_EQ(confirmable, std::vector<bool>({false, false, true}));
  EXPECT_EQ(ChosenFontName(), "Liberation Sans");
  EXPECT_EQ(ChosenFontSize(), 10);
  EXPECT_EQ(ChosenFontStyle(), FontBold | FontUnderline);
  EXPECT_EQ(ChosenFontColour(), 0x0000FF);
}

}  // namespace
