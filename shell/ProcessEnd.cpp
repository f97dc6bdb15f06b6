#include "shell/ProcessEnd.h"

#include <exception>

int RunAndReport(const std::function<void()>& program, const std::function<void(const std::string&)>& report)
{
    try {
        program();
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("Unknown error");
    }
    return 0;
}
