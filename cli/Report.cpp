#include "cli/Report.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "cli/Session.h"

namespace cli {

std::string OneLine(std::string text)
{
    for (size_t at; (at = text.find('\n')) != std::string::npos;)
        text.replace(at, 1, ": ");
    return text;
}

void Tally::Add(int sequence, const std::string& outcome, const std::string& reason)
{
    if (outcome == "ok")
        ++whole;
    else if (outcome == "different")
        ++different;
    else if (outcome == "abandoned")
        abandoned.emplace_back(sequence, OneLine(reason));
    else
        failed.emplace_back(sequence, OneLine(reason));
}

int AfterTransfer(const Tally& t, bool verify, int maxFailures, bool folderFault)
{
    if (folderFault || (maxFailures > 0 && t.Failures() >= maxFailures))
        return kFailed;
    if (verify)
        return t.whole ? kWhole : t.different ? kDifferent : kFailed;
    return t.whole >= t.asked ? kWhole : -1;
}

std::string Summary(const Tally& t)
{
    const auto listed = [](const std::vector<std::pair<int, std::string>>& which, const char* what) {
        std::string text = std::to_string(which.size()) + " " + what;
        for (size_t i = 0; i < which.size(); ++i)
            text += (i ? "; #" : " (#") + std::to_string(which[i].first) + ": " + which[i].second;
        return which.empty() ? text : text + ")";
    };
    std::string text = std::to_string(t.asked) + " asked, " + std::to_string(t.whole) + " whole";
    if (t.different)
        text += ", " + std::to_string(t.different) + " different";
    return text + ", " + listed(t.failed, "failed") + ", " + listed(t.abandoned, "abandoned");
}

std::string PeopleLine(int sequence, const TransferRecord& r, const std::string& verdict)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", r.Seconds);
    std::string line = std::to_string(sequence) + " " + r.Direction + " " + (r.SetPath.empty() ? "-" : r.SetPath) +
                       " " + std::to_string(r.Bytes) + " bytes " + seconds + " s " + OneLine(verdict);
    if (!r.Label.empty())
        line += " [" + OneLine(r.Label) + "]";
    return line + "\n";
}

std::string JsonLine(int sequence, const TransferRecord& r, std::time_t at)
{
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    const auto number = [](int32_t n) { return n < 0 ? QJsonValue() : QJsonValue(n); };
    const QJsonObject line{
        {"time", text(LocalTimestamp(at))},
        {"sequence", sequence},
        {"direction", text(r.Direction)},
        {"set", r.SetPath.empty() ? QJsonValue() : QJsonValue(text(r.SetPath))},
        {"port", text(r.Port)},
        {"device", text(r.Device)},
        {"device class", number(r.DeviceClass)},
        {"header digit", number(r.HeaderDigit)},
        {"bytes", static_cast<qint64>(r.Bytes)},
        {"seconds", static_cast<double>(static_cast<long long>(r.Seconds * 100 + 0.5)) / 100},
        {"outcome", text(r.Outcome)},
        {"reason", text(r.Reason)},
        {"label", text(r.Label)},
        {"run", text(r.Run)},
    };
    return QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

std::string DeviceOf(int device, int asked)
{
    return asked > 1 ? "device " + std::to_string(device) + " of " + std::to_string(asked) : "the device";
}

std::string WaitingText(int device, int asked, const std::string& port)
{
    return "waiting for " + DeviceOf(device, asked) + " on " + port + " (Ctrl-C to stop)";
}

}  // namespace cli
