#pragma once
// The window toolkit as the protocol code sees it: the few operations that the
// handlers call on the main window's components and on the error dialog. Qt widgets
// stand behind these in the program (platform/widgets/QtWidgets.h); tests use the fakes in
// tests/fakes/FakeForm1.h. Texts are 8-bit byte strings, shown as Latin-1.

#include <string>

namespace platform {

class Window {
public:
    virtual ~Window() = default;
    virtual void SetTitle(const std::string& title) = 0;
    virtual std::string Title() const = 0;
};

// A read-only multi-line text component (Memo1, Memo2).
class TextArea {
public:
    virtual ~TextArea() = default;
    virtual void AppendLine(const std::string& line) = 0;  // below the existing lines
    virtual void Clear() = 0;
    virtual void SetText(const std::string& text) = 0;     // replaces everything
    virtual std::string Text() const = 0;                  // lines joined by "\n"
    virtual void SetFocus() = 0;
};

// A read-only single-line field (Edit1, Edit2).
class Field {
public:
    virtual ~Field() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

// Range 0 to 100, step 2.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool Visible() const = 0;
    virtual void SetPosition(int position) = 0;
    virtual int Position() const = 0;
    virtual void Step() = 0;  // adds the step (2)
};

// Ticks run on the user-interface thread, also while a modal dialog is open.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void SetEnabled(bool on) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetInterval(int ms) = 0;
    virtual int Interval() const = 0;
};

// Open-file and save-file dialogs. Execute waits for the user (timers and serial
// events go on meanwhile); FileName is then the chosen name or, after a cancel, the
// one remembered from before (empty once cleared).
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual bool Execute() = 0;
    virtual std::string FileName() const = 0;
    virtual void SetFileName(const std::string& name) = 0;
};

// The error dialog (Form3) as its callers fill it: caption, message, the second
// button of the overwrite prompt, then shown without waiting.
class ErrorDialog {
public:
    virtual ~ErrorDialog() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetButton2Visible(bool visible) = 0;
    virtual void Show() = 0;
};

class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void Beep() = 0;
};

// Progress bar moves shared by reception and transmission.
inline void StepProgress(ProgressBar& bar) { bar.Step(); }
inline void AdvanceProgress(ProgressBar& bar)
{
    if (bar.Position() < 100)
        bar.Step();
    else
        bar.SetPosition(0);
}

}  // namespace platform
