#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/Messages.h"
#include "shell/ProcessEnd.h"
#include "tests/fakes/FakeForm1.h"

// The language flag picks the texts (the captions differ only for the port
// request); the blanks the dialog shows are the system's own.
TEST(ShowMessage, TextInTheChosenLanguageItsKindAndASecondButtonOnlyToOverwrite)
{
    struct Case {
        Message m;
        int lang;
        const char *caption, *text;
        int kind;
    };
    const Case cases[] = {
        {Message::OverwritePrompt, 1, "AVVISO", "File already present  - Overwrite ?", 2},
        {Message::ChoosePort, 1, "WARNING", "Choose a serial port", 10},
        {Message::ChoosePort, 0, "AVVISO", "Selezionare una porta seriale", 10},
        {Message::TxtNotFound, 0, "ERRORE !", "File richiesto (*.txt ) non esistente", 3},
        {Message::SrcNotFound, 0, "ERRORE !", "File richiesto (*.src) non esistente", 3},
        {Message::PortTimeOut, 1, "ERRORE !", "Serial port time out", 4}};
    FakeForm1 F;
    ProgramState S;
    for (const Case& c : cases) {
        S.LanguageFlag = c.lang;
        ShowMessage(S, F.C, c.m);
        EXPECT_EQ(F.Form3.Caption, c.caption) << c.text;
        EXPECT_EQ(F.Form3.Text, c.text);
        EXPECT_EQ(S.ErrorKind, c.kind) << c.text;
        EXPECT_EQ(F.Form3.Button2Visible, c.m == Message::OverwritePrompt) << c.text;
    }
    EXPECT_EQ(F.Form3.Shows, 6);
}

TEST(ProcessEnd, AnEscapingErrorIsReportedAndTheProcessEndsWithZero)
{
    std::vector<std::string> reports;
    auto report = [&](const std::string& m) { reports.push_back(m); };
    EXPECT_EQ(RunAndReport([] { throw std::runtime_error("no window"); }, report), 0);
    EXPECT_EQ(RunAndReport([] { throw 42; }, report), 0);  // not only std::exception
    int ran = 0;
    EXPECT_EQ(RunAndReport([&] { ++ran; }, report), 0);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(reports, (std::vector<std::string>{"no window", "Unknown error"}));
}
