// What the user types and picks in the main window: the size box keeps what is typed, the dialogs
// refuse overlong paths, the save-as dialog starts beside the fragments, the join follows its list.

#include <QLineEdit>

#include "SplitFixture.hpp"

namespace testsupport {
namespace {

// Typing never completes from the list: "1" is not "1420", "25" not "256"; the split uses what was typed.
TEST_F(SplitWindowTest, SizeBoxKeepsExactlyWhatIsTyped) {
    auto* edit = control<QComboBox>("Combo1")->lineEdit();
    ASSERT_NE(edit, nullptr);
    // The box completes only what it has the focus for.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto type = [&](const QString& typed) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        EXPECT_TRUE(edit->hasFocus());
        return edit->text();
    };
    for (const QString typed : {"1", "5", "25", "36", "72", "14", "7"}) {
        EXPECT_EQ(type(typed), typed);
        EXPECT_EQ(edit->selectedText(), "") << typed.toStdString();
    }
    // Enter leaves the text too (it also splits, with nothing chosen yet).
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->text(), "7");

    prepare("Beispiel.dat", 3000, "1420");
    type("1");
    split();
    EXPECT_TRUE(fake.shown.empty());
    EXPECT_EQ(text("Label11"), "Dateifragmente: 3 von 3");
    EXPECT_EQ(readFile(file("Beispiel.dat._001")).size(), 1024u);
}

}  // namespace
}  // namespace testsupport
