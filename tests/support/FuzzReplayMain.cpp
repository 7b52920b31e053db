// Runs a fuzz target once on every file of the folders (or files) named on the command
// line: the seed corpus and the inputs earlier fuzzing runs found, as regression tests
// built by the suite's own compiler (and its sanitizers). A folder that does not exist
// is skipped; a crash or a sanitizer report fails the test.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path p(argv[i]);
    if (fs::is_regular_file(p))
      inputs.push_back(p);
    else if (fs::is_directory(p))
      for (const auto& entry : fs::recursive_directory_iterator(p))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  for (const auto& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  std::fflush(stdout);
  // Leave as libFuzzer does, without running static destructors: the targets keep
  // their toolkit object in a function-local static that is meant to live to the end.
  std::_Exit(inputs.empty() ? 1 : 0);
}
