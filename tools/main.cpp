// serbox-listing: see tools/ListingTool.h.
#include <iostream>

#include "tools/Arguments.h"
#include "tools/ListingTool.h"

int main(int argc, char** argv)
{
    return listing_tool::Run(Utf8Arguments(argc, argv), std::cout, std::cerr);
}
