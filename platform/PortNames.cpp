#include "platform/PortNames.h"

namespace platform {

std::map<std::string, std::string> RefreshBindings(const std::map<std::string, std::string>& current,
                                                   const std::set<std::string>& byHand,
                                                   const std::vector<DetectedPort>& ports)
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
    std::vector<DetectedPort> free;
    for (const auto& p : ports)
        if (!taken.count(p.Device))
            free.push_back(p);
    const auto defaults = DefaultBindings(free);
    auto next = defaults.begin();
    for (int n = 1; n <= 4 && next != defaults.end(); ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (!byHand.count(name))
            bindings[name] = (next++)->second;
    }
    return bindings;
}

}  // namespace platform
