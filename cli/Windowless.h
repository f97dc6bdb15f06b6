#pragma once
// The machines' components for a shell without a window: what the window
// program shows is kept where serbox-cli reads it, or dropped.

#include <functional>
#include <string>

#include "platform/widgets/Toolkit.h"

namespace cli {

class NoWindow : public platform::Window {
public:
    void SetTitle(const std::string&) override {}
    std::string Title() const override { return {}; }
};

// Memo1 takes the device's terminal lines, which nobody reads here: kept, they
// would grow for ever. Memo2, the message line, is kept: it tells how a transfer ended.
class Lines : public platform::TextArea {
public:
    explicit Lines(bool keep) : keep_(keep) {}
    void AppendLine(const std::string& line) override { if (keep_) text_ = text_.empty() ? line : text_ + "\n" + line; }
    void Clear() override { text_.clear(); }
    void SetText(const std::string& text) override { if (keep_) text_ = text; }
    std::string Text() const override { return text_; }
    void SetFocus() override {}

private:
    bool keep_;
    std::string text_;
};

class PlainField : public platform::Field {
public:
    void SetText(const std::string& text) override { text_ = text; }
    std::string Text() const override { return text_; }

private:
    std::string text_;
};

class Bar : public platform::ProgressBar {
public:
    void Show() override { shown_ = true; }
    void Hide() override { shown_ = false; }
    bool Visible() const override { return shown_; }
    void SetPosition(int position) override { position_ = position; }
    int Position() const override { return position_; }
    void Step() override { position_ += 2; }

private:
    bool shown_ = false;
    int position_ = 0;
};

// F7 and F8 get the name the command has chosen, as if typed in the dialog.
class NamedDialog : public platform::FileDialog {
public:
    bool Execute() override { return true; }
    std::string FileName() const override { return name_; }
    void SetFileName(const std::string& name) override { name_ = name; }

private:
    std::string name_;
};

class ToldDialog : public platform::ErrorDialog {
public:
    std::function<void(const std::string&)> OnShow;
    void SetCaption(const std::string&) override {}
    void SetText(const std::string& text) override { text_ = text; }
    void SetButton2Visible(bool) override {}
    void Show() override { if (OnShow) OnShow(text_); }

private:
    std::string text_;
};

class Silent : public platform::Beeper {
public:
    void Beep() override {}
};

}  // namespace cli
