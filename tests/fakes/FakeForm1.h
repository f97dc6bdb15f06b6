#pragma once
// The main window's components as plain fakes, bundled the way the handlers take
// them, and a program made of them (FakeProgram). Timer ticks are calls of the
// tick handlers, never real time.

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "link/Router.h"
#include "receive/Reception.h"
#include "shell/Form1Components.h"
#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/FakeSerialPort.h"
#include "transmit/Transmission.h"

class FakeWindow : public platform::Window {
public:
    std::string title;
    void SetTitle(const std::string& t) override { title = t; }
    std::string Title() const override { return title; }
};

class FakeTextArea : public platform::TextArea {
public:
    std::vector<std::string> Lines;
    void AppendLine(const std::string& line) override { Lines.push_back(line); }
    void Clear() override { Lines.clear(); }
    void SetText(const std::string& text) override
    {
        Lines = {""};
        for (char c : text)
            c == '\n' ? void(Lines.emplace_back()) : Lines.back().push_back(c);
    }
    std::string Text() const override
    {
        std::string t;
        for (const std::string& l : Lines)
            t += (&l == Lines.data() ? "" : "\n") + l;
        return t;
    }
    void SetFocus() override {}
};

class FakeField : public platform::Field {
public:
    std::string text;
    void SetText(const std::string& t) override { text = t; }
    std::string Text() const override { return text; }
};

class FakeProgressBar : public platform::ProgressBar {
public:
    bool visible = false;
    int position = 0;
    std::vector<int> Moves;  // every position taken, in order
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool Visible() const override { return visible; }
    void SetPosition(int p) override { Moves.push_back(position = std::clamp(p, 0, 100)); }
    int Position() const override { return position; }
    void Step() override { SetPosition(position + 2); }
};

class FakeTimer : public platform::Timer {
public:
    bool enabled = false;
    int interval = 1000;
    void SetEnabled(bool on) override { enabled = on; }
    bool Enabled() const override { return enabled; }
    void SetInterval(int ms) override { interval = ms; }
    int Interval() const override { return interval; }
};

// Execute takes the next scripted answer: a name, or "" for a cancel (the
// remembered name then stays, as with the real dialogs).
class FakeFileDialog : public platform::FileDialog {
public:
    std::vector<std::string> Answers;
    std::string name;
    bool Execute() override
    {
        if (Answers.empty())
            return false;
        const std::string a = Answers.front();
        Answers.erase(Answers.begin());
        if (!a.empty())
            name = a;
        return !a.empty();
    }
    std::string FileName() const override { return name; }
    void SetFileName(const std::string& n) override { name = n; }
};

class FakeErrorDialog : public platform::ErrorDialog {
public:
    std::string Caption, Text;
    bool Button2Visible = false;
    int Shows = 0;
    void SetCaption(const std::string& c) override { Caption = c; }
    void SetText(const std::string& t) override { Text = t; }
    void SetButton2Visible(bool v) override { Button2Visible = v; }
    void Show() override { ++Shows; }
};

class FakeBeeper : public platform::Beeper {
public:
    int Beeps = 0;
    void Beep() override { ++Beeps; }
};

struct FakeForm1 {
    FakeSerialPort ComPort1;
    FakeWindow Form1;
    FakeTextArea Memo1, Memo2;
    FakeField Edit1, Edit2;
    FakeProgressBar ProgressBar1;
    FakeTimer Timer1, Timer2;
    FakeFileDialog SaveDialog1, OpenDialog1;
    FakeErrorDialog Form3;
    FakeBeeper Sound;
    FakeFileSystem Files;

    // The bundle with another port or file system in place of the fakes'.
    Form1Components With(platform::SerialPort& port, platform::FileSystem& files)
    {
        return {port, Form1, Memo1, Memo2, Edit1, Edit2, ProgressBar1, Timer1, Timer2, SaveDialog1, OpenDialog1, Form3, Sound, files};
    }
    Form1Components C = With(ComPort1, Files);
};

// A program just started on the fakes, its port chosen and its texts in English;
// the port's received bytes reach the dispatcher as the main window routes them.
inline const auto kIdle = std::tuple(int32_t{0}, int32_t{0}, int32_t{0}, false);

struct FakeProgram {
    FakeForm1 F;
    ProgramState S;
    Form1Components C;

    explicit FakeProgram(platform::FileSystem* files = nullptr) : C(F.With(F.ComPort1, files ? *files : F.Files))
    {
        Restart();
    }
    void Restart(int portPromptStage = 2)
    {
        S = ProgramState{};
        S.LanguageFlag = 1;
        S.PortPromptStage = portPromptStage;
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, C, n); };
    }
    // Reception, transmission, header pacing and progress bar: kIdle when none runs.
    auto Activity() const { return std::tuple(S.RxState, S.TxState, S.HdrSendActive, F.ProgressBar1.visible); }
    // F7 and F8, their dialog answering with name ("" cancels).
    void FileIn(const std::string& name)
    {
        F.SaveDialog1.Answers = {name};
        FileinF71Click(S, C);
    }
    void FileOut(const std::string& name)
    {
        F.OpenDialog1.Answers = {name};
        FileoutF81Click(S, C);
    }
};
