// serbox-cli as a script runs it, against serbox-device on a pseudo-terminal:
// which sets appear under which names, what each line and exit status says, and
// what the journal keeps. The machines themselves are proven elsewhere.

#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <set>

#include "link/StoredFileSet.h"
#include "platform/files/StdFileSystem.h"
#include "receive/Listing.h"
#include "tests/e2e/Session.h"
#include "tests/support/Ser2net.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const Program kPlain{HeaderOf('T', '0'), Text(1500) + '\0'};
const Program kWithBlock{HeaderOf('t', '1'), Text(700) + '\0' + Block()};
const Program kEmpty{HeaderOf('*', '5'), std::string(1, '\0')};
const Program kLarge{HeaderOf('t', '0'), Text(20000) + '\0' + Block()};

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// One run of serbox-cli (or of a shell running it), with data as the user's data
// folder, from the folder cwd.
struct CliRun : Child {
    QString out, err;
    explicit CliRun(const QStringList& args, const fs::path& data, const fs::path& cwd = {},
                    const QString& program = SERBOX_CLI)
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", QString::fromStdString(data.string()));
        env.insert("TMPDIR", QString::fromStdString((data / "tmp").string()));
        fs::create_directories(data / "tmp");
        setProcessEnvironment(env);
        setWorkingDirectory(Q(cwd.empty() ? data : cwd));
        Start(QStringList{program} << args);
    }
    int Status()
    {
        Until([&] { return state() == NotRunning; }, 120000);
        out += QString::fromUtf8(readAllStandardOutput());
        err += QString::fromUtf8(readAllStandardError());
        return state() == NotRunning && exitStatus() == NormalExit ? exitCode() : -1;
    }
};

// The journal's lines, each split into its fields, unquoted (a quoted field may hold commas).
std::vector<QStringList> JournalRows(const fs::path& file)
{
    static const QRegularExpression field(R"((?:^|,)("(?:[^"]|"")*"|[^,]*))");
    std::vector<QStringList> rows;
    for (const QString& line : QString::fromUtf8(ReadFile(file)).split('\n', Qt::SkipEmptyParts)) {
        QStringList fields;
        for (const QRegularExpressionMatch& m : field.globalMatch(line)) {
            const QString f = m.captured(1);
            fields << (f.startsWith('"') ? f.mid(1, f.size() - 2).replace("\"\"", "\"") : f);
        }
        rows.push_back(fields);
    }
    return rows;
}

// The listing F7 writes for a program.
std::string ListingOf(const Program& p, const fs::path& dir)
{
    std::ofstream(dir / "x.src", std::ios::binary) << p.src;
    std::ofstream(dir / "x.txt");
    ProgramState s;
    ClassifyHeader(s, reinterpret_cast<const uint8_t*>(p.hdr.data()));
    platform::StdFileSystem files;
    int32_t marks = 1;
    EXPECT_TRUE(WriteListing(files, (dir / "x.src").string(), (dir / "x.txt").string(), s.DeviceClass, marks));
    return ReadFile(dir / "x.txt");
}

std::vector<std::string> NamesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The user's data folder, an empty folder to receive into, and the sets the
// device sends or receives (where serbox-cli reads them too).
struct Cli : ::testing::Test {
    TempDir t{"serbox-cli"};
    fs::path sets = t.path / "sets", stored = t.path / "stored";
    Cli()
    {
        for (const fs::path& d : {sets, stored})
            fs::create_directories(d);
    }
    QStringList Receive(const Device& d) const { return {"receive", "--port", Q(d.path), "--into", Q(sets)}; }
    QStringList Store(const std::string& base, const Program& p) const { return StoreSet(stored, base, p); }
};

}  // namespace

// Three devices, each with another program, saved one after the other: each a
// whole set under the next free name after the one the folder already held, and
// one journal line each, in the user's data folder.
TEST_F(Cli, ReceivesABatchAsWholeSetsNamedOnFromTheFolder)
{
    std::ofstream(sets / "S0007.TXT");
    const Program programs[] = {kPlain, kWithBlock, kEmpty};
    QStringList steps{"--no-wait", "--exit"};
    for (size_t i = 0; i < 3; ++i)
        steps << "send" << Store("p" + std::to_string(i), programs[i]);
    Device device(steps);
    // From the folder above, as typed: every line and the journal say where the set is.
    CliRun cli({"receive", "--port", Q(device.path), "--into", "sets", "--count", "3", "--label", "line 2"}, t.path, t.path);
    ASSERT_EQ(cli.Status(), 0) << cli.err.toStdString();
    device.Finish();
    for (const QString& said : QStringList{"waiting for device 1 of 3 on " + Q(device.path) + " (Ctrl-C to stop)\n",
                                "device 2 of 3 ended: ok\n", "waiting for device 3 of 3 on",
                                "device 3 of 3 ended: ok\nserbox-cli: 3 asked, 3 whole, 0 failed, 0 abandoned\n"})
        EXPECT_TRUE(cli.err.contains(said)) << said.toStdString() << " in " << cli.err.toStdString();

    EXPECT_EQ(NamesIn(sets),
              (std::vector<std::string>{"S0007.TXT", "S0008.hdr", "S0008.src", "S0008.txt", "S0009.hdr", "S0009.src",
                                        "S0009.txt", "S0010.hdr", "S0010.src", "S0010.txt"}));
    const QStringList lines = cli.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << cli.out.toStdString();
    const auto journal = JournalRows(t.path / "serbox" / "journal.csv");
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0].join(','), "time,program,version,port,device,direction,set,device class,header digit,bytes,seconds,outcome,reason,label,run");
    for (int i = 0; i < 3; ++i) {
        const std::string stem = QString::asprintf("S%04d", 8 + i).toStdString();
        const fs::path set = sets / (stem + ".txt");
        EXPECT_EQ(ProgramIn(sets, stem), programs[i]);
        EXPECT_EQ(ReadFile(set), ListingOf(programs[i], t.path));
        const QString bytes = QString::number(128 + programs[i].src.size());
        EXPECT_TRUE(QRegularExpression(QString("^%1 receive %2 %3 bytes [0-9.]+ s ok \\[line 2\\]$")
                                           .arg(i + 1).arg(QRegularExpression::escape(QString::fromStdString(set.string())), bytes))
                        .match(lines[i]).hasMatch()) << lines[i].toStdString();
        const QStringList& row = journal[i + 1];
        ASSERT_EQ(row.size(), 15) << row.join('|').toStdString();
        EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$").match(row[0]).hasMatch()) << row[0].toStdString();
        const QStringList expected{"serbox-cli", "0.1.0", QString::fromStdString(device.path), QString::fromStdString(device.path),
                                   "receive", QString::fromStdString(set.string()),
                                   i == 0 ? "6" : i == 1 ? "7" : "1", i == 0 ? "0" : i == 1 ? "1" : "5", bytes};
        EXPECT_EQ(row.mid(1, 9), expected);
        EXPECT_EQ(row.mid(11, 3), (QStringList{"ok", "", "line 2"}));
        EXPECT_EQ(row[14], journal[1][14]) << "one run";
    }
    EXPECT_FALSE(journal[1][14].isEmpty());
}

// One set, in a folder with a space in its name, loaded into two devices in a
// row as F8 sends it; both journaled, and told as JSON a script reads back whole.
TEST_F(Cli, SendsOneSetToTwoDevicesInARowToldAsJson)
{
    const fs::path folder = stored / "Mario Rossi";
    fs::create_directories(folder);
    StoreSet(folder, "LOAD", kWithBlock);
    Device device({"--no-wait", "--exit", "receive", Q(stored / "first"), "receive", Q(stored / "second")});
    const QString set = Q(folder / "LOAD.TXT"), label = "bench 2, \"east\"";
    CliRun cli({"send", set, "--port", Q(device.path), "--count", "2", "--flow", "none", "--quiet", "--format", "json",
                "--label", label}, t.path);
    ASSERT_EQ(cli.Status(), 0) << cli.err.toStdString();
    device.Finish();
    EXPECT_EQ(ProgramIn(stored, "first"), kWithBlock);
    EXPECT_EQ(ProgramIn(stored, "second"), kWithBlock);
    EXPECT_TRUE(cli.err.isEmpty()) << "nothing but problems with --quiet: " << cli.err.toStdString();
    const auto journal = JournalRows(t.path / "serbox" / "journal.csv");
    ASSERT_EQ(journal.size(), 3u);
    const QStringList lines = cli.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[i].toStdString();
        const QStringList& row = journal[i + 1];
        for (const auto& [key, want] : std::vector<std::pair<QString, QJsonValue>>{
                 {"time", row[0]}, {"sequence", i + 1}, {"direction", "send"}, {"set", set}, {"device class", 7},
                 {"header digit", 1}, {"bytes", qint64(128 + kWithBlock.src.size())}, {"outcome", "ok"}, {"reason", ""},
                 {"label", label}, {"run", row[14]}})
            EXPECT_EQ(o[key], want) << key.toStdString() << " in " << lines[i].toStdString();
        EXPECT_GT(o["seconds"].toDouble(), 0.0);
    }
}

// The device's program against a stored set: the same, one byte of the source
// changed, one byte of the header changed. The scratch copy goes every time.
TEST_F(Cli, VerifySaysIdenticalOrWhereTheProgramFirstDiffers)
{
    Store("REF", kWithBlock);
    Program source = kWithBlock, header = kWithBlock;
    source.src[80] ^= 0x01;  // in the listing's third line
    header.hdr[20] ^= 0x01;
    const struct {
        Program program;
        int status;
        QString verdict;
    } cases[] = {{kWithBlock, 0, "identical"}, {source, 5, "differs: listing line 3, column 16"},
                 {header, 5, "differs: header byte 21 (stored 0xE5, device 0xE4)"}};
    for (const auto& c : cases) {
        Device device(QStringList{"--no-wait", "--exit", "send"} << Store("dev", c.program));
        CliRun cli({"verify", Q(stored / "REF.TXT"), "--port", Q(device.path)}, t.path);
        EXPECT_EQ(cli.Status(), c.status) << cli.err.toStdString();
        device.Finish();
        EXPECT_TRUE(cli.out.endsWith(" " + c.verdict + "\n")) << cli.out.toStdString();
        EXPECT_TRUE(NamesIn(t.path / "tmp").empty()) << "the scratch set stays behind";
        EXPECT_EQ(JournalRows(t.path / "serbox" / "journal.csv").back().mid(11, 2), (QStringList{c.status ? "different" : "ok", c.verdict}));
    }
}

// Through a device server as through a cable, over either kind of port it
// offers; one not running is a port that cannot be opened, said why.
TEST_F(Cli, ThroughADeviceServerAsThroughACable)
{
    for (const bool telnet : {true, false}) {
        Device device(QStringList{"--no-wait", "--exit", "send"} << Store("p", kWithBlock));
        Ser2net server(device.path, t.path);
        const QString url = QString::fromStdString(telnet ? server.Rfc2217Url() : server.RawUrl());
        CliRun cli({"receive", "--port", url, "--into", Q(sets)}, t.path);
        EXPECT_EQ(cli.Status(), 0) << cli.err.toStdString();
        device.Finish();
        EXPECT_EQ(ProgramIn(sets, telnet ? "S0001" : "S0002"), kWithBlock);
    }
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString url = QString("rfc2217://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    CliRun cli({"receive", "--port", url, "--into", Q(sets)}, t.path);
    EXPECT_EQ(cli.Status(), 3);
    EXPECT_TRUE(cli.err.contains(url + ": nothing serves a port there (connection refused)")) << cli.err.toStdString();
}

// A reception cut by the device going, by Ctrl-C in a shell's loop (to the whole
// process group, as a terminal sends it), by a full disk: no set named, and the
// run ends: status 1, or by the signal itself, so that the loop stops too.
TEST_F(Cli, ACutReceptionLeavesNoSetNamesNoneAndEndsTheRun)
{
    const QString loop = R"(for unit in 1 2; do "$0" receive --port "$1" --into "$2" --wait 5; echo "after $unit: $?"; done)";
    // Files of at most 1024 bytes: a write past that fails, as on a full disk.
    const QString small = R"(ulimit -f 1; trap "" XFSZ; exec "$0" receive --port "$1" --into "$2" --count 2)";
    for (const char* cut : {"unplugged", "interrupted", "disk full"}) {
        const fs::path data = t.path / cut;  // a journal each
        const bool interrupt = cut == std::string("interrupted"), full = cut == std::string("disk full");
        auto device = std::make_unique<Device>(
            full ? QStringList{"--no-wait", "--exit", "send"} << Store("p", kPlain) << "send" << Store("p", kPlain)
                 : QStringList{"--no-wait", "--exit", "--baud", "--chunk", "256", "send"} << Store("big", kLarge));
        const QString script = interrupt ? loop : full ? small : "exec \"$0\" receive --port \"$1\" --into \"$2\"";
        auto cli = std::make_unique<CliRun>(QStringList{"-c", script, SERBOX_CLI, Q(device->path), Q(sets)}, data, fs::path(), "/bin/bash");
        if (!full) {
            ASSERT_TRUE(device->Says("header sent"));
            ASSERT_TRUE(Until([&] { return fs::exists(sets / "~~S0001.src") && fs::file_size(sets / "~~S0001.src") > 0; }));
            if (interrupt)
                ::kill(-static_cast<pid_t>(cli->processId()), SIGINT);
            else
                device.reset();
        }
        EXPECT_EQ(cli->Status(), interrupt ? -1 : 1) << cut << ": " << cli->out.toStdString() << cli->err.toStdString();
        EXPECT_FALSE(cli->out.contains("after")) << "the loop went on: " << cli->out.toStdString();
        EXPECT_TRUE(NamesIn(sets).empty()) << "left: " << NamesIn(sets).size();
        EXPECT_TRUE(cli->out.startsWith("1 receive - ")) << cli->out.toStdString();
        EXPECT_TRUE(cli->out.contains(" failed: ")) << cli->out.toStdString();
        if (full)
            EXPECT_TRUE(cli->err.contains(Q(sets) + " takes no more sets")) << cli->err.toStdString();
        const auto journal = JournalRows(data / "serbox" / "journal.csv");
        ASSERT_EQ(journal.size(), 2u);
        EXPECT_EQ(journal[1][6], "") << "no set of that name was made";
        EXPECT_EQ(journal[1][11], full ? "failed" : "abandoned");
        EXPECT_TRUE(journal[1][12].contains(interrupt ? "interrupted" : full ? "write error" : "device lost")) << journal[1][12].toStdString();
    }
}

// What is wrong before any transfer: the words, exit status 2 before the port
// is even tried (3 when only the port is wrong), and nothing journaled.
TEST_F(Cli, WrongArgumentsAnUnusableFolderAndNoDeviceWithinTheWait)
{
    const QString dir = Q(sets);
    const struct {
        QStringList args;
        int status;
        QString says;
    } cases[] = {
        {{}, 2, "no command"},
        {{"fetch", "--port", "COM1"}, 2, "no command fetch"},
        {{"receive", "--into", dir}, 2, "--port is missing"},
        {{"receive", "--port", "/dev/none"}, 2, "--into is missing"},
        {{"send", "--port", "/dev/none"}, 2, "takes one set"},
        {{"send", dir + "/NONE.TXT", "--port", "/dev/none"}, 2, "not found"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--count", "0"}, 2, "--count takes"},
        {{"verify", dir + "/X.TXT", "--port", "/dev/none", "--count", "2"}, 2, "--count is for"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--wait", "soon"}, 2, "--wait takes"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--wait", "2000001"}, 2, "--wait takes"},  // past a timer's int
        {{"receive", "--port", "/dev/none", "--into", dir, "--max-failures", "0"}, 2, "--max-failures takes"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--format", "csv"}, 2, "--format takes"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--bogus"}, 2, "bogus"},
        {{"receive", "--port", "/dev/none", "--into", dir, "--journal", "/proc/j.csv"}, 2, "Cannot write the journal of transfers /proc/j.csv"},
        // A folder nobody may write to (root too): told before the port is tried.
        {{"receive", "--port", "/dev/none", "--into", "/proc"}, 2, "Cannot write /proc/"},
        {{"receive", "--port", "/dev/none", "--into", dir}, 3, "cannot open /dev/none"},
    };
    for (const auto& c : cases) {
        CliRun cli(c.args, t.path);
        EXPECT_EQ(cli.Status(), c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(cli.err.contains(c.says)) << cli.err.toStdString();
    }
    EXPECT_TRUE(NamesIn(sets).empty()) << "the set made aside stays";
    Device idle({"type"});  // holds the line, starts nothing
    CliRun cli(Receive(idle) << "--wait" << "1", t.path);
    EXPECT_EQ(cli.Status(), 4);
    EXPECT_TRUE(cli.err.contains("no device started a transfer within 1 s\nserbox-cli: 1 asked, 0 whole, 0 failed, 0 abandoned\n")) << cli.err.toStdString();
    EXPECT_FALSE(fs::exists(t.path / "serbox" / "journal.csv"));
    EXPECT_TRUE(NamesIn(sets).empty());
}

// Two batches into one folder and the window program saving from a device of its
// own, all at once: each set whole under a name of its own, neither run's set lost
// or mixed, and one journal in the user's data folder, one whole line from each
// program. A journal nobody may write to (root too) stops nothing: told, and the set saved.
TEST_F(Cli, TwoRunsAndTheWindowProgramAtOnceKeepEachOthersSetsAndOneJournal)
{
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(t.path.string()));
    Serbox box;
    Device forWindow(QStringList{"send"} << Store("w", kWithBlock));
    Device a(QStringList{"--no-wait", "--exit", "--baud", "send"} << Store("a", kPlain));
    Device b(QStringList{"--no-wait", "--exit", "--baud", "send"} << Store("b", kWithBlock));
    box.StartOn(forWindow.path);
    box.FileIn("IN.TXT");
    const fs::path noData = t.path / "no data";  // its serbox folder a file
    fs::create_directories(noData);
    std::ofstream(noData / "serbox");
    const QString unwritable = Q(noData / "serbox" / "journal.csv");
    CliRun ca(Receive(a) << "--quiet", noData), cb(Receive(b) << "--quiet", t.path);
    forWindow.Enter();
    ASSERT_TRUE(forWindow.Says("send complete"));
    ASSERT_EQ(ca.Status(), 0) << ca.err.toStdString();
    ASSERT_EQ(cb.Status(), 0) << cb.err.toStdString();
    EXPECT_EQ(ca.err.count("Cannot write the journal of transfers " + unwritable), 1) << ca.err.toStdString();
    EXPECT_EQ(NamesIn(sets), (std::vector<std::string>{"S0001.hdr", "S0001.src", "S0001.txt", "S0002.hdr", "S0002.src", "S0002.txt"}));
    const Program first = ProgramIn(sets, "S0001"), second = ProgramIn(sets, "S0002");
    EXPECT_TRUE((first == kPlain && second == kWithBlock) || (first == kWithBlock && second == kPlain));
    const auto journal = JournalRows(t.path / "serbox" / "journal.csv");
    ASSERT_EQ(journal.size(), 3u);
    std::set<QString> lines;
    for (size_t i = 1; i < journal.size(); ++i)
        lines.insert(journal[i][1] + " " + journal[i][5] + " " + fs::path(journal[i][6].toStdString()).filename().c_str() + " " +
                     journal[i][11]);
    const QString cbSet = first == kWithBlock ? "S0001.txt" : "S0002.txt";
    EXPECT_EQ(lines, (std::set<QString>{"serbox receive IN.TXT ok", "serbox-cli receive " + cbSet + " ok"}));
}
