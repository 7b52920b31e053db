#pragma once
// The viewer's "--phantom FILE" option (also "--phantom=FILE"), read from the raw
// arguments before the toolkit starts, so that a bad file ends the program before any
// window exists or anything is computed.

#include <optional>
#include <vector>

#include "model/PhantomFile.h"

namespace quarvel {

// The blobs of the file the option names (the last one when given more than once);
// empty without the option. Raises EPhantomError for a bad file or a missing file name.
std::optional<std::vector<TPhantomBlob>> PhantomFromArguments(int argc, char** argv);

}  // namespace quarvel
