// serbox-listing: see tools/ListingTool.h.
#include <iostream>
#include <string>
#include <vector>

#include "tools/ListingTool.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return listing_tool::Run(args, std::cout, std::cerr);
}
