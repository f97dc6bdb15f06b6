#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/Messages.h"
#include "shell/ProcessEnd.h"
#include "tests/fakes/FakeForm1.h"

TEST(ShowMessage, TextsByLanguageWithTheirExactSpacing)
{
    FakeForm1 F;
    ProgramState S;
    S.LanguageFlag = 1;
    ShowMessage(S, F.C, Message::OverwritePrompt);
    EXPECT_EQ(F.Form3.Caption, "AVVISO");
    EXPECT_EQ(F.Form3.Text, "File already present  - Overwrite ?");
    EXPECT_EQ(S.ErrorKind, 2);
    EXPECT_TRUE(F.Form3.Button2Visible);
    EXPECT_EQ(F.Form3.Shows, 1);

    ShowMessage(S, F.C, Message::ChoosePort);
    EXPECT_EQ(F.Form3.Caption, "WARNING");
    EXPECT_EQ(F.Form3.Text, "Choose a serial port");
    EXPECT_EQ(S.ErrorKind, 10);
    EXPECT_FALSE(F.Form3.Button2Visible);

    S.LanguageFlag = 0;
    ShowMessage(S, F.C, Message::ChoosePort);
    EXPECT_EQ(F.Form3.Caption, "AVVISO");
    EXPECT_EQ(F.Form3.Text, "Selezionare una porta seriale");
    ShowMessage(S, F.C, Message::TxtNotFound);
    EXPECT_EQ(F.Form3.Text, "File richiesto (*.txt ) non esistente");
    ShowMessage(S, F.C, Message::SrcNotFound);
    EXPECT_EQ(F.Form3.Text, "File richiesto (*.src) non esistente");
    EXPECT_EQ(S.ErrorKind, 3);
}

TEST(ShowMessage, KindsOfEveryMessage)
{
    FakeForm1 F;
    ProgramState S;
    S.LanguageFlag = 1;
    const std::pair<Message, int> kinds[] = {
        {Message::PortNotReady, 1}, {Message::HdrNotFound, 3}, {Message::PortTimeOut, 4},
        {Message::TxNameMissing, 5}, {Message::RxNameMissing, 6}, {Message::FileError, 7}};
    for (auto [m, kind] : kinds) {
        ShowMessage(S, F.C, m);
        EXPECT_EQ(S.ErrorKind, kind);
        EXPECT_EQ(F.Form3.Caption, "ERRORE !");
    }
    ShowMessage(S, F.C, Message::PortTimeOut);
    EXPECT_EQ(F.Form3.Text, "Serial port time out");
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
