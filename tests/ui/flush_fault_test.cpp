// "Clear" puts the joined file on the disk before the fragments go: when that fails, it says so and
// deletes nothing.

#include "FakeUi.hpp"
#include "fileio/files.hpp"

namespace testsupport {
namespace {

TEST_F(WindowTest, ClearKeepsEveryFragmentWhenTheJoinedFileCannotBeFlushed) {
    prepare("x.dat", 3000);
    click("Command1");
    pick("Command4", file("joined.dat"));
    const Names before = filesIn(dir.path());
    fileio::testing::setOperationFault(
        [](std::string_view operation, const std::string&) { return operation == "flush" ? ENOSPC : 0; });
    fake.take();
    clear();
    fileio::testing::setOperationFault({});
    EXPECT_EQ(fake.take(), (std::vector<Msg>{{QMessageBox::Question, "Dodiveverazed Kontroll-Abfrage",
                                              "Dateifragmente jetzt  löschen ?"},
                                             {Stop, kInfo,
                                              "Das Löschen wurde abgebrochen. Fehler bei Datei " +
                                                  qfile("joined.dat") + ": " + reason(ENOSPC)}}));
    EXPECT_EQ(before, (Names{"joined.dat", "x.dat", "x.dat._001", "x.dat._002", "x.dat._003", "x.dat.sfv"}));
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_EQ(entries("List1").size(), 3);
}

}  // namespace
}  // namespace testsupport
