// serbox-cli: the window program's transfers without a window, for batches and
// scripts (Session.h).

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "cli/Session.h"
#include "cli/System.h"
#include "platform/files/StdFileSystem.h"
#include "platform/widgets/System.h"

namespace {

const char* const kAbout =
    "Saves and loads the programs of keypads and display modules over a serial port, "
    "device after device, and keeps a journal of every transfer.\n"
    "\n"
    "  serbox-cli receive --port PORT --into DIR [--count N] [--wait S]\n"
    "      save each device's program as a new set in DIR: S0001.txt (listing),\n"
    "      .hdr and .src, numbered on from the highest set already there\n"
    "  serbox-cli send SET.txt --port PORT [--count N] [--wait S]\n"
    "      answer each device's request with this set\n"
    "  serbox-cli verify SET.txt --port PORT [--wait S]\n"
    "      save the device's program aside and compare it with SET: prints\n"
    "      \"identical\" or where they first differ\n"
    "\n"
    "The device leads: start the transfer on the device. PORT is COM1..COM4 (the\n"
    "devices the window program gives these names), or a device path; on Windows\n"
    "any COMn; or a device server's port: rfc2217://HOST:PORT (the line set from\n"
    "here) or socket://HOST:PORT (raw TCP, the line as the server sets it). One line per transfer on standard output: sequence, direction, set\n"
    "(absolute; - when none was made), bytes, seconds, ok or failed: reason, and\n"
    "[LABEL]; with --format json one JSON object a line. Standard error says which\n"
    "device is awaited, how each ended, and a summary at the end. Ctrl-C abandons a\n"
    "transfer under way, leaves no partial set under a set's name and ends the\n"
    "command by the signal, so that a script's loop stops too; Ctrl-C again ends\n"
    "at once.\n"
    "\n"
    "Exit status:\n"
    "  0  the N transfers asked for are whole (verify: identical); a failed\n"
    "     attempt retried along the way is in the summary, not in the status\n"
    "  1  the run ended on failures: the port was lost, --max-failures was\n"
    "     reached, or the folder takes no more sets (a full disk)\n"
    "  2  wrong arguments, or a set, folder or journal that cannot be used\n"
    "  3  the port could not be opened\n"
    "  4  the wait ran out with fewer than N transfers whole\n"
    "  5  verify: the device's program differs from SET\n"
    "  interrupted (Ctrl-C, SIGTERM, SIGHUP): ended by the signal, which a shell\n"
    "     shows as 130, 143 or 129; on Windows as a console program ends on Ctrl-C.";

int Wrong(const QString& problem)
{
    cli::Print(stderr, "serbox-cli: " + problem.toStdString() + "\nTry serbox-cli --help.\n");
    return cli::kUsage;
}

// A whole number of at least 1.
bool Positive(const QString& text, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(SERBOX_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(kAbout);
    parser.addPositionalArgument("command", "receive, send or verify");
    parser.addPositionalArgument("SET.txt", "send, verify: the stored set (its listing's name)", "[SET.txt]");
    const QCommandLineOption port("port", "The serial port: COM1..COM4, a device path, rfc2217://HOST:PORT or socket://HOST:PORT.", "PORT");
    const QCommandLineOption into("into", "receive: the folder the sets go to.", "DIR");
    const QCommandLineOption count("count", "receive, send: end after N whole transfers (default 1).", "N");
    const QCommandLineOption wait("wait", "End, status 4, when no transfer starts within S seconds of the last (default: wait for ever; at most 2000000).", "S");
    const QCommandLineOption flow("flow", "Flow control: hardware (default, as the window program) or none.", "none|hardware");
    const QCommandLineOption journal("journal", "Append the journal of transfers to FILE instead of the user's data folder's journal.csv.", "FILE");
    const QCommandLineOption quiet("quiet", "Standard error says only what went wrong: no progress, no summary.");
    const QCommandLineOption format("format", "The lines on standard output: text (default, for people) or json.", "text|json");
    const QCommandLineOption label("label", "A name for the unit (an asset tag, a station), in every line and the journal.", "TEXT");
    const QCommandLineOption maxFailures("max-failures", "End the run, status 1, after N transfers failed or abandoned.", "N");
    parser.addOptions({port, into, count, wait, flow, journal, quiet, format, label, maxFailures});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return Wrong(parser.errorText());
    if (parser.isSet(help))
        return cli::Print(stdout, parser.helpText().toStdString()), 0;
    if (parser.isSet(version))
        return std::printf("serbox-cli %s\n", SERBOX_VERSION), 0;

    cli::Options o;
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    if (command == "receive")
        o.command = cli::Command::Receive;
    else if (command == "send")
        o.command = cli::Command::Send;
    else if (command == "verify")
        o.command = cli::Command::Verify;
    else
        return Wrong(command.isEmpty() ? "no command: receive, send or verify" : "no command " + command + ": receive, send or verify");
    const bool receive = o.command == cli::Command::Receive;
    if (words.size() != (receive ? 1 : 2))
        return Wrong(receive ? "receive takes no set: the sets are named in the --into folder"
                             : command + " takes one set, the listing's name (SET.txt)");
    if (!parser.isSet(port) || parser.value(port).isEmpty())
        return Wrong("--port is missing: COM1..COM4, a device path or a device server's port");
    o.port = parser.value(port).toStdString();
    if (receive != parser.isSet(into))
        return Wrong(receive ? "--into is missing: the folder the sets go to" : "--into is for receive only");
    // Absolute in every line and the journal, which runs from any folder append to.
    const auto absolute = [](const QString& path) {
        return path.isEmpty() ? std::string() : QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
    };
    o.into = absolute(parser.value(into));
    o.set = absolute(words.value(1));
    if (parser.isSet(count)) {
        if (o.command == cli::Command::Verify)
            return Wrong("verify compares one device: --count is for receive and send");
        if (!Positive(parser.value(count), o.count))
            return Wrong("--count takes a whole number of transfers, 1 or more");
    }
    if (parser.isSet(wait) && (!Positive(parser.value(wait), o.waitSeconds) || o.waitSeconds > cli::kMostWaitSeconds))
        return Wrong("--wait takes a whole number of seconds, 1 to " + QString::number(cli::kMostWaitSeconds) + " (23 days)");
    if (parser.isSet(maxFailures) && !Positive(parser.value(maxFailures), o.maxFailures))
        return Wrong("--max-failures takes a whole number of failed transfers, 1 or more");
    if (parser.isSet(format)) {
        if (parser.value(format) != "text" && parser.value(format) != "json")
            return Wrong("--format takes text or json");
        o.json = parser.value(format) == "json";
    }
    o.label = parser.value(label).toStdString();
    if (parser.isSet(flow)) {
        if (parser.value(flow) != "none" && parser.value(flow) != "hardware")
            return Wrong("--flow takes none or hardware");
        o.flowNone = parser.value(flow) == "none";
    }
    o.quiet = parser.isSet(quiet);

    if (parser.isSet(journal))
        o.journal = absolute(parser.value(journal));
    const std::string journalPath = !o.journal.empty() ? o.journal : platform::UserDataPath("journal.csv");
    // A batch under way keeps an update or an uninstall from removing its files.
    platform::MarkRunning(SERBOX_RUNNING_MUTEX);
    const int status = cli::Run(o, journalPath, SERBOX_VERSION);
    if (status == cli::kInterrupted)
        cli::EndAsInterrupted();
    return status;
}
