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

#include <tuple>

#include "core/fonts.h"
#include "gui/tests/gui_test_support.h"

namespace {

const char* const Pattern = "Bitmap (*.bmp)|*.bmp|Any (*.*)|*.*";

// Closed, each gives its cancel value; a colour goes in and comes out as blue, green, red.
TEST(Dialogs, ClosedEachGivesItsCancelValueAndColoursAreBlueGreenRed) {
  const auto close = [](QWidget* modal) { modal->close(); };
  QColor shown;
  const auto pick = [&](QWidget* modal) {
    auto* dialog = qobject_cast<QColorDialog*>(modal);
    shown = dialog->currentColor();
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    dialog->accept();
  };
  const std::tuple<const char*, std::function<void(QWidget*)>, std::function<bool()>> cases[] = {
      {"save", close, [] { return AskFileToSave("t", "", Pattern, 0).empty(); }},
      {"colour", close, [] { return AskColour(0xFFFFFF) == -1; }},
      {"font", close, [] { return AskFont("Liberation Sans", 8, FontDialogEffects, 0, FontBold) == 0; }},
      {"ok box", close, [] { return ShowMessage("t", "x", MessageOk | MessageIconError) == AnswerOk; }},
      {"retry box", close, [] { return ShowMessage("t", "x", MessageRetryCancel) == AnswerCancel; }},
      {"colour picked", pick, [] { return AskColour(0x00FF8040) == 0x00563412; }},
  };
  for (const auto& [name, action, answered] : cases) {
    ModalDriver driver(action);
    EXPECT_TRUE(answered()) << name;
    EXPECT_TRUE(driver.handled) << name;
  }
  EXPECT_EQ(shown, QColor(0x40, 0x80, 0xFF));
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
    QString shown;
    ModalDriver driver([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      shown = dialog->directory().absolutePath() + '|' + dialog->findChild<QLineEdit*>("fileNameEdit")->text() + '|' +
              dialog->nameFilters().value(1);
      Answer(dialog, folder + "/missing/charset.bmp");
      if (dialog->isVisible()) shown += "|refused";
      Answer(dialog, folder + "/charset.bmp");
    });
    EXPECT_EQ(AskFileToSave("save", start, Pattern, 0), folder + "/charset.bmp") << start;
    EXPECT_EQ(shown, QString::fromStdString(folder) + '|' + name + "|Any (*.*) (*)|refused") << start;
  }
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
  EXPECT_EQ(std::tuple(ChosenFontName(), ChosenFontSize(), ChosenFontStyle(), ChosenFontColour()),
            std::tuple(std::string("Liberation Sans"), 10, FontBold | FontUnderline, 0x0000FF));
}

}  // namespace
