#include "platform/serial/PortNames.h"

#include <algorithm>
#include <cctype>

#include "platform/serial/System.h"

namespace platform {

std::string ComPortName(int n) { return "COM" + std::to_string(n); }

int ComPortNumber(std::string_view name)
{
    for (int n = 1; n <= kMenuPorts; ++n)
        if (name == ComPortName(n))
            return n;
    return 0;
}

namespace {
constexpr std::string_view kRfc2217Scheme = "rfc2217://", kSocketScheme = "socket://";

bool IsHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253)
        return false;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

bool IsIpv6(std::string_view host)
{
    if (host.size() < 2)
        return false;
    for (char c : host)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.')
            return false;
    return host.find(':') != std::string_view::npos;
}
}  // namespace

bool IsNetworkPortName(std::string_view name)
{
    return name.substr(0, kRfc2217Scheme.size()) == kRfc2217Scheme ||
           name.substr(0, kSocketScheme.size()) == kSocketScheme;
}

std::string ParseNetworkPortName(std::string_view name, NetworkPortName& out)
{
    const std::string quoted = std::string(name);
    const std::string form = "; write rfc2217://HOST:PORT or socket://HOST:PORT";
    out = {};
    out.Rfc2217 = name.substr(0, kRfc2217Scheme.size()) == kRfc2217Scheme;
    if (!out.Rfc2217 && name.substr(0, kSocketScheme.size()) != kSocketScheme)
        return quoted + " is not a network port's name" + form;
    std::string_view rest = name.substr(out.Rfc2217 ? kRfc2217Scheme.size() : kSocketScheme.size());
    std::string_view host;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || !IsIpv6(rest.substr(1, close - 1)))
            return quoted + ": the IPv6 address in brackets is not well formed" + form;
        host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (rest.empty() || rest.front() != ':')
            return quoted + " names no TCP port" + form;
    } else {
        const size_t colon = rest.find(':');
        if (colon == std::string_view::npos)
            return quoted + " names no TCP port" + form;
        host = rest.substr(0, colon);
        if (!IsHostName(host))
            return quoted + ": \"" + std::string(host) + "\" is not a host name or address" + form;
        rest = rest.substr(colon);
    }
    rest.remove_prefix(1);
    unsigned long port = 0;
    if (rest.empty() || rest.size() > 5 ||
        !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        (port = std::stoul(std::string(rest))) == 0 || port > 65535)
        return quoted + ": the TCP port must be a number from 1 to 65535" + form;
    out.Host = std::string(host);
    out.Port = static_cast<uint16_t>(port);
    return {};
}

std::map<std::string, std::string> RefreshBindings(const std::map<std::string, std::string>& current,
                                                   const std::set<std::string>& byHand,
                                                   const std::vector<DetectedPort>& ports,
                                                   std::map<std::string, std::string>& known,
                                                   const std::string& stablePaths)
{
    std::map<std::string, std::string> bindings;
    std::set<std::string> taken;
    for (const std::string& name : byHand) {
        auto it = current.find(name);
        if (it != current.end()) {
            bindings[name] = it->second;
            taken.insert(it->second);
        }
    }
    std::vector<std::string> ids;
    std::vector<bool> held;
    std::map<std::string, std::string> idOf;  // device -> how it is recognised
    for (const auto& p : ports) {
        ids.push_back(Recognise(p, stablePaths));
        held.push_back(taken.count(p.Device) > 0);
        if (!ids.back().empty())
            idOf[p.Device] = ids.back();
    }
    std::vector<std::string> freeNames;
    for (int n = 1; n <= kMenuPorts; ++n) {
        const std::string name = ComPortName(n);
        if (byHand.count(name))
            continue;
        const auto was = current.find(name);
        const auto id = known.find(name);
        // Its own device: the one recognised as it, or with nothing to go by, the
        // one at its path that cannot be recognised either.
        auto same = [&](size_t i) {
            return id != known.end() ? ids[i] == id->second
                                     : was != current.end() && ports[i].Device == was->second && ids[i].empty();
        };
        size_t at = ports.size();
        bool present = false;
        for (size_t i = 0; i < ports.size(); ++i) {
            if (!same(i))
                continue;
            present = true;
            if (!held[i] && (at == ports.size() || (was != current.end() && ports[i].Device == was->second)))
                at = i;
        }
        if (at < ports.size()) {
            bindings[name] = ports[at].Device;
            held[at] = true;
        } else if (present || id == known.end()) {
            // Bound by hand to another name, or gone for good: the name is free.
            known.erase(name);
            freeNames.push_back(name);
        }
        // Otherwise it waits, unbound, for its device to come back.
    }
    std::vector<DetectedPort> fresh;
    for (size_t i = 0; i < ports.size(); ++i)
        if (!held[i])
            fresh.push_back(ports[i]);
    for (const auto& [name, device] : BindFreeNames(freeNames, fresh)) {
        bindings[name] = device;
        if (const auto id = idOf.find(device); id != idOf.end())
            known[name] = id->second;
    }
    return bindings;
}

std::vector<PortLine> PortListLines(const std::vector<DetectedPort>& ports)
{
    std::vector<PortLine> lines;
    for (const DetectedPort& p : ports) {
        std::string name = p.Description;
        // "FTDI FT232R USB UART", not "FT232R USB UART" alone; a name that says
        // its maker already keeps it once.
        if (!p.Manufacturer.empty() && name.find(p.Manufacturer) == std::string::npos)
            name = name.empty() ? p.Manufacturer : p.Manufacturer + " " + name;
        // Windows names its ports with the COM name in brackets; elsewhere the
        // device follows the name, its stable link after it.
        std::string where = p.Device;
        if (!p.StableName.empty())
            where += ", " + p.StableName;
        std::string text;
        if (name.empty())
            text = where;
        else if (name.find("(" + p.Device + ")") != std::string::npos)
            text = p.StableName.empty() ? name : name + " (" + p.StableName + ")";
        else
            text = name + " (" + where + ")";
        if (p.InUse)
            text += " - in use by another program";
        lines.push_back({p.Device, text});
    }
    return lines;
}

std::string RememberedDeviceNow(const RememberedPort& remembered, const std::vector<DetectedPort>& ports,
                                bool devicePresent)
{
    if (!remembered.StableName.empty())
        for (const DetectedPort& p : ports)
            if (p.StableName == remembered.StableName)
                return p.Device;
    for (const DetectedPort& p : ports)
        if (p.Device == remembered.Device)
            return remembered.StableName.empty() || p.StableName.empty() ? p.Device : std::string();
    return devicePresent && remembered.StableName.empty() ? remembered.Device : std::string();
}

std::string NotPluggedInNote(const RememberedPort& remembered)
{
    const std::string what = remembered.Text.empty() || remembered.Text == remembered.Device
                                 ? remembered.Device
                                 : remembered.Device + ", " + remembered.Text;
    return remembered.Name + " was " + what + " last time: it is not plugged in now.";
}

}  // namespace platform
