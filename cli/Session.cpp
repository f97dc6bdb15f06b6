#include "cli/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/Report.h"
#include "cli/SetFolder.h"
#include "cli/SetNames.h"
#include "cli/Windowless.h"
#include "cli/System.h"
#include "link/Exchange.h"
#include "link/Journal.h"
#include "link/Router.h"
#include "link/StoredFileSet.h"
#include "link/Watchdog.h"
#include "platform/files/StdFileSystem.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/SerialComponent.h"
#include "platform/widgets/QtWidgets.h"
#include "receive/Reception.h"
#include "shell/Messages.h"
#include "shell/ProcessEnd.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"

namespace cli {

namespace {

void Say(const std::string& text) { Print(stderr, "serbox-cli: " + OneLine(text) + "\n"); }

class Session {
public:
    Session(const Options& o, const std::string& journalPath, const std::string& version)
        : o_(o),
          C{component_, window_, memo1_, memo2_, edit1_, edit2_, bar_, timer1_, timer2_, save_, open_, dialog_, beep_, files_},
          watch_(files_), journal_(files_, journalPath, "serbox-cli", version, 1, [this](const std::string& text) { Tell(text); })
    {
        S.LanguageFlag = 1;
        tally_.asked = o_.command == Command::Verify ? 1 : o_.count;
        S.PortPromptStage = 2;  // the port is named on the command line
        dialog_.OnShow = [this](const std::string& text) {
            told_ = text;
            watch_.Told(text);
        };
    }

    // F7 made the next set's files aside, empty; however the command ends, they go.
    ~Session()
    {
        folder_.Drop();  // only a reception claims a set aside
    }

    // Everything that can be said before the port opens; -1 when all is ready.
    int Prepare()
    {
        // A journal named on the command line is the user's record: checked as the folder is.
        if (!o_.journal.empty() && !journal_.Ready())
            return Tell(JournalUnwritable(journal_.Path(), S.LanguageFlag)), kUsage;
        switch (o_.command) {
        case Command::Receive: {
            if (!QDir(QString::fromStdString(o_.into)).exists()) {
                Tell(o_.into + ": no such folder");
                return kUsage;
            }
            return NameNext() ? -1 : kUsage;
        }
        case Command::Send:
            open_.SetFileName(o_.set);
            FileoutF81Click(S, C);
            if (!told_.empty())
                return Tell(o_.set + ": " + told_), kUsage;
            total_ = Size(S.TxHdrPath) + Size(S.TxSrcPath);
            return -1;
        case Command::Verify: {
            NameSet(o_.set, storedListing_, storedHdr_, storedSrc_);
            const SetCheck check = CheckWholeSet(files_, storedHdr_, storedSrc_);
            if (check.Fault != SetFault::None)
                return Tell(check.Path + ": " + SetFaultReason(check, 1)), kUsage;
            scratch_ = std::make_unique<QTemporaryDir>();
            if (!scratch_->isValid())
                return Tell("no scratch folder for the set received: " + scratch_->errorString().toStdString()), kUsage;
            save_.SetFileName(scratch_->filePath("V.txt").toStdString());
            FileinF71Click(S, C);
            if (!told_.empty())
                return Tell(told_), kUsage;
            return -1;
        }
        }
        return -1;
    }

    int Start()
    {
        component_.SetPort(o_.port);
        component_.OnNote = [this](const std::string& what) { Tell(what); };
        if (o_.flowNone)
            component_.SetFlowControl(platform::FlowControl::None);
        component_.OnWaiting = [this](const std::string& what) {
            if (!what.empty())
                Tell(OpenWaitText(what, S.LanguageFlag));
        };
        try {
            component_.Open();
        } catch (const platform::EComPort& e) {
            Tell("cannot open " + o_.port + ": " + e.what());
            return kNoPort;
        }
        device_ = component_.DeviceFor(o_.port);
        platform::ApplyDeviceLine(component_);
        S.PortNumber = platform::ComPortNumber(o_.port);

        component_.OnRxChar = [this](int n) {
            received_ += static_cast<uint64_t>(n);
            Handle([&] { ComPort1RxChar(S, C, n); });
        };
        component_.OnTxEmpty = [this] {
            drained_ = true;
            Handle([&] { ComPort1TxEmpty(S); });
        };
        component_.OnError = [this](const std::string& why) {
            // The last device may go as soon as it has all it asked for.
            if (finishing_)
                return Finish(finishStatus_);
            ending_ = true;
            watch_.Told(why);
            Handle([&] { PortLost(S, C); });
            told_.clear();
            Tell(why);
            Finish(kFailed);
        };
        // A held line is the likeliest reason a batch stands still: said at once.
        component_.OnLineHeld = [this](bool held) {
            Handle([&] { ComPort1LineHeld(S, C, held); });
            Tell(held ? LineHeldText(S.LanguageFlag) : "the device lets the bytes go again (CTS)");
        };
        component_.OnLineErrors = [this](const platform::LineErrors& seen) {
            const int32_t shown = S.LineErrorsShown;
            Handle([&] { ComPort1LineErrors(S, C, seen); });
            if (S.LineErrorsShown != shown)
                Tell(LineErrorsText(LineErrorsAt::Terminal, seen, S.LanguageFlag));
        };
        t1_.setInterval(1000);
        t2_.setInterval(100);
        QObject::connect(&t1_, &QTimer::timeout, &context_, [this] { Handle([&] { Timer1Timer(S, C); }); });
        QObject::connect(&t2_, &QTimer::timeout, &context_, [this] { Handle([&] { Timer2Timer(S, C); }); });
        t1_.start();
        if (o_.waitSeconds > 0) {
            wait_.setSingleShot(true);
            wait_.setInterval(o_.waitSeconds * 1000);
            QObject::connect(&wait_, &QTimer::timeout, &context_, [this] {
                if (watch_.UnderWay())
                    return;
                Tell("no device started a transfer within " + std::to_string(o_.waitSeconds) + " s");
                Finish(kNoDevice);
            });
            wait_.start();
        }
        live_ = !o_.quiet && ErrorIsTerminal();
        if (live_) {
            progress_.setInterval(250);
            QObject::connect(&progress_, &QTimer::timeout, &context_, [this] { ShowProgress(); });
            progress_.start();
        }
        OnInterrupt(&context_, [this] { Interrupted(); });
        clock_.start();
        started_ = true;
        Waiting();
        return -1;
    }

    int Exit() const { return exit_; }

private:
    // A line of its own on standard error, never after the live line.
    void Tell(const std::string& text)
    {
        ClearProgress();
        Say(text);
    }

    double Now() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }

    uint64_t Size(const std::string& path)
    {
        auto f = files_.OpenRead(path);
        uint64_t size = 0;
        char block[16384];
        while (f)
            if (const size_t got = f->Read(block, sizeof block))
                size += got;
            else
                break;
        return size;
    }

    // Every event the machines handle, then what it changed.
    void Handle(const std::function<void()>& handler)
    {
        if (finished_)
            return;
        const bool before = watch_.UnderWay();
        const uint64_t in = received_;  // a transfer's bytes count from the event that starts it
        const int32_t owed = S.NulPending;
        RunAndReport(handler, [this](const std::string& message) { Tell(message); });
        if (finished_)
            return;
        if (!before)
            inAtStart_ = in;
        if (owed && !S.NulPending)
            drained_ = false;  // the zero byte has just gone out: its output-empty event is awaited
        const std::optional<TransferRecord> ended = watch_.After(S, [this] { return memo2_.Text(); }, Now());
        if (ended) {
            told_.clear();
            Ended(*ended);
        } else if (!told_.empty() && !watch_.UnderWay()) {
            Tell(told_);  // a request refused, outside any transfer
            told_.clear();
        }
        if (watch_.UnderWay())
            wait_.stop();
        MaybeFinish();
    }

    // F7 with the next set's name, aside: the set is renamed once whole.
    bool NameNext()
    {
        std::string why;
        if (!folder_.Claim(why))
            return Tell(why), false;
        told_.clear();
        save_.SetFileName(folder_.Aside("txt"));
        FileinF71Click(S, C);
        if (told_.empty())
            return true;
        Tell(told_);
        told_.clear();
        return false;
    }

    void Ended(TransferRecord r)
    {
        r.Port = o_.port;
        r.Device = device_;
        r.Label = o_.label;
        r.Run = journal_.Run();
        bool whole = r.Outcome == "ok";
        bool folderFault = false;  // every following set would fail the same way
        std::string verdict = whole ? "ok" : "failed: " + OneLine(r.Reason);
        const bool ours = (o_.command == Command::Send) == (r.Direction == "send");
        if (o_.command == Command::Receive && r.Direction == "receive") {
            // A set that is not whole never had its name: the next whole one takes it.
            r.SetPath.clear();
            folderFault = S.RxFileFailed != 0;
            if (whole) {
                std::string why;
                if (const std::string final = folder_.Publish(why); !final.empty()) {
                    r.SetPath = final;
                } else {
                    // A whole set is never thrown away: it stays aside, with its claim.
                    whole = false;
                    folderFault = true;
                    r.Outcome = "failed";
                    r.SetPath = QDir::toNativeSeparators(QString::fromStdString(folder_.Aside("txt"))).toStdString();
                    r.Reason = "the set received cannot take its name (" + why + "): it is kept aside as " + r.SetPath;
                    verdict = "failed: " + r.Reason;
                    folder_.Keep();
                }
            }
            folder_.Drop();
            // Whatever was received is no outgoing set of this command.
            edit2_.SetText("");
        } else if (o_.command == Command::Verify && r.Direction == "receive") {
            r.Direction = "verify";
            r.SetPath = o_.set;
            if (whole) {
                const std::string where = FirstDifference(files_, storedHdr_, storedSrc_, S.RxHdrPath, S.RxSrcPath,
                                                          scratch_->path().toStdString());
                r.Reason = where.empty() ? "identical" : "differs: " + where;
                if (!where.empty())
                    r.Outcome = "different";
                verdict = r.Reason;
            }
        } else if (o_.command == Command::Send && r.Direction == "send") {
            r.SetPath = o_.set;
        } else {
            r.SetPath.clear();  // nothing of this command's sets
        }
        ClearProgress();
        const int device = tally_.whole + tally_.different + 1;
        const std::time_t at = std::time(nullptr);
        ++sequence_;
        journal_.Write(r, at);  // on the disk before the line says so
        Print(stdout, o_.json ? JsonLine(sequence_, r, at) : PeopleLine(sequence_, r, verdict));
        if (ours)
            tally_.Add(sequence_, r.Outcome, r.Reason);
        else
            tally_.Add(sequence_, "failed", r.Direction == "send" ? "the device asked for a load" : "the device sent a program");
        if (!o_.quiet)
            Tell(DeviceOf(device, tally_.asked) + " ended: " + (ours ? verdict : "failed: " + tally_.failed.back().second));
        if (ending_)
            return;
        const int end = AfterTransfer(tally_, o_.command == Command::Verify, o_.maxFailures, folderFault);
        // A verify ends as every verify does; a batch stops before the next device.
        if (end == kFailed && o_.command != Command::Verify) {
            if (folderFault)
                Tell(o_.into + " takes no more sets (a full disk?): the run ends");
            else if (o_.maxFailures > 0 && tally_.Failures() >= o_.maxFailures)
                Tell(std::to_string(tally_.Failures()) + " transfers failed (--max-failures " +
                    std::to_string(o_.maxFailures) + "): the run ends");
            return Finish(kFailed);
        }
        if (end >= 0) {
            finishStatus_ = end;
            finishing_ = true;
            drained_ = false;  // the last reply or section has just been written
            return;
        }
        if (o_.command == Command::Receive && !NameNext())
            return Finish(kFailed);
        if (o_.waitSeconds > 0)
            wait_.start();
        Waiting();
    }

    // Between devices: said once where no live line shows it with the time waited.
    void Waiting()
    {
        waitingSince_ = Now();
        if (!o_.quiet && !live_)
            Tell(WaitingText(tally_.whole + tally_.different + 1, tally_.asked, o_.port));
    }

    // A load's last zero byte goes out a tick after the text: the port stays
    // open until it has left, and every last reply with it (the output-empty
    // event follows everything written). The bound only ends a wait for an event
    // that nothing written is owed.
    void MaybeFinish()
    {
        if (!finishing_ || finished_ || S.NulPending != 0)
            return;
        if (drained_)
            return Finish(finishStatus_);
        if (!drainBound_.isActive()) {
            drainBound_.setSingleShot(true);
            QObject::connect(&drainBound_, &QTimer::timeout, &context_, [this] { Finish(finishStatus_); });
            drainBound_.start(3000);
        }
    }

    void Interrupted()
    {
        if (finished_)
            return;
        ending_ = true;
        if (watch_.UnderWay()) {
            EndExchange(S, C);
            if (auto r = watch_.Abandoned(S, "interrupted: Ctrl-C, or the program was told to end", Now()))
                Ended(*r);
        }
        folder_.Drop();
        Finish(kInterrupted);
    }

    void Finish(int code)
    {
        if (finished_)
            return;
        finished_ = true;
        exit_ = code;
        ClearProgress();
        if (started_ && !o_.quiet)
            Tell(Summary(tally_));
        t1_.stop();
        t2_.stop();
        wait_.stop();
        progress_.stop();
        folder_.Drop();
        component_.Close();
        QCoreApplication::exit(code);
    }

    void ShowProgress()
    {
        const TransferRecord* r = watch_.Current();
        if (!r) {
            char waited[32];
            std::snprintf(waited, sizeof waited, " %.0f s", Now() - waitingSince_);
            return Show(WaitingText(tally_.whole + tally_.different + 1, tally_.asked, o_.port) + waited);
        }
        const bool sending = r->Direction == "send";
        // A load: the header bytes paced so far, then the text section once sent.
        const uint64_t bytes = sending ? static_cast<uint64_t>(std::clamp(S.HdrSendOffset, 0, 128)) +
                                             (S.TxState >= TxAwaitInquiry ? S.SecondSectionOffset : 0)
                                       : received_ - inAtStart_;
        // A reception's size is known only at its end: its bytes so far, no percent.
        std::string percent;
        if (sending && total_)
            percent = std::to_string(std::min<uint64_t>(100, bytes * 100 / total_)) + "% ";
        char line[128];
        std::snprintf(line, sizeof line, "%s %s%llu bytes %.0f s", r->Direction.c_str(), percent.c_str(),
                      static_cast<unsigned long long>(bytes), Now() - watch_.Started());
        Show(line);
    }

    // The live line, over the one before it.
    void Show(const std::string& text)
    {
        const size_t width = text.size() + 1;
        Print(stderr, "\r" + text + std::string(std::max(shown_, width) - width, ' ') + " ");
        shown_ = width;
    }

    void ClearProgress()
    {
        if (!shown_)
            return;
        Print(stderr, "\r" + std::string(shown_, ' ') + "\r");
        shown_ = 0;
    }

    Options o_;
    platform::StdFileSystem files_;
    SetFolder folder_{files_, o_.into};
    platform::SerialComponent component_;
    NoWindow window_;
    Lines memo1_{false}, memo2_{true};
    PlainField edit1_, edit2_;
    Bar bar_;
    QTimer t1_, t2_, wait_, progress_, drainBound_;
    platform::QtTimer timer1_{t1_}, timer2_{t2_};
    NamedDialog save_, open_;
    ToldDialog dialog_;
    Silent beep_;
    ProgramState S;
    Form1Components C;
    TransferWatch watch_;
    Journal journal_;
    QObject context_;
    QElapsedTimer clock_;
    std::unique_ptr<QTemporaryDir> scratch_;  // verify: where the device's set goes
    std::string device_, told_, storedListing_, storedHdr_, storedSrc_;
    Tally tally_;
    int sequence_ = 0, exit_ = kWhole, finishStatus_ = kWhole;
    uint64_t total_ = 0, received_ = 0, inAtStart_ = 0;
    size_t shown_ = 0;  // the width of the live line on the terminal
    double waitingSince_ = 0;
    bool finishing_ = false, finished_ = false, ending_ = false, drained_ = true, started_ = false, live_ = false;
};

}  // namespace

int Run(const Options& options, const std::string& journalPath, const std::string& version)
{
    Session session(options, journalPath, version);
    if (const int early = session.Prepare(); early >= 0)
        return early;
    if (const int early = session.Start(); early >= 0)
        return early;
    QCoreApplication::exec();
    return session.Exit();
}

}  // namespace cli
