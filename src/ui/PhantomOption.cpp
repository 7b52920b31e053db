#include "ui/PhantomOption.h"

#include <string>

namespace quarvel {

std::optional<std::vector<TPhantomBlob>> PhantomFromArguments(int argc, char** argv) {
  const std::string option = "--phantom";
  std::optional<std::string> path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::optional<std::string> value;
    if (arg == option) {
      if (i + 1 >= argc) throw EPhantomError("missing value for option 'phantom'");
      value = argv[++i];
    } else if (arg.rfind(option + "=", 0) == 0) {
      value = arg.substr(option.size() + 1);
    }
    if (value) path = *value;  // the last one counts, as with the export tool's options
  }
  if (!path) return std::nullopt;
  return ReadPhantomFile(*path);
}

}  // namespace quarvel
