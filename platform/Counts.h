#pragma once
// Counts as the program writes them in its sentences.
#include <string>

namespace parelix {

// A count with its thousands apart by a narrow no-break space (U+202F): "2 994". Every
// count the program writes in a sentence goes through it, so all read alike.
std::string groupThousands(unsigned long long count);

}  // namespace parelix
