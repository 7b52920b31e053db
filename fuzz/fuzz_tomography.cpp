// The export tool's tomography commands on any options and any phantom, with the
// floating-point traps on (as the commands run the chain): each input is either refused
// with one line, or runs to its output. A trap (SIGFPE), a crash or an error of several
// lines is a finding.
//
// The input's first line holds the command line after the program's name (words split at
// spaces, the first being the command); the rest is the phantom file. Sizes are kept
// small (views x detectors up to 4096, a few iterations) so that an input takes
// milliseconds: the values, not the sizes, are what is explored here.

#include <QCommandLineParser>

#include <cfenv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/PhantomFile.h"
#include "ui/CommandLine.h"
#include "ui/OutputFile.h"
#include "ui/TomographyExport.h"

namespace {

using namespace quarvel;

class CountingSink final : public TOutputSink {
 public:
  void Write(std::string_view bytes) override { count += bytes.size(); }
  std::size_t count = 0;
};

void CheckOneLine(const std::string& message) {
  if (message.empty() || message.find('\n') != std::string::npos) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = std::min(input.find('\n'), input.size());
  const QString line = QString::fromUtf8(input.data(), static_cast<qsizetype>(newline));
  const std::string_view phantomText = input.substr(std::min(newline + 1, input.size()));

  QStringList arguments{"quarvel-export"};
  arguments << line.split(' ', Qt::SkipEmptyParts);
  try {
    QCommandLineParser parser;
    QList<QCommandLineOption> options = TomographyOptions();
    // The tool's other options, which the tomography commands refuse.
    options << QCommandLineOption("format", "", "format") << QCommandLineOption("size", "", "WxH")
            << QCommandLineOption("resolution", "", "resolution");
    ParseCommandLine(parser, options, arguments);
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty()) return 0;
    const QString file = words.size() > 1 ? words[1] : QString("out.csv");
    const std::optional<TTomographyJob> job = TomographyJob(parser, words[0], file);
    if (!job) return 0;
    const TStudyOptions& s = job->Study;
    if (std::int64_t(s.Geometry.Views) * s.Geometry.Detectors > 4096 || s.Iterations > 3) return 0;
    // Large grids and the user's files are slow or read the disk: not in a fuzzing run.
    if (s.GridSize > 256 || job->Data.Image || job->Data.Sinogram || !job->Data.History.empty())
      return 0;
    const auto phantom = ParsePhantom(phantomText, "fuzz.csv");
    if (s.Projector == TProjectorKind::Exact && phantom.size() > 20) return 0;
    TProjectionModel model;
    ComputeHeadlessModel(model, phantom);
    CountingSink sink;
    TomographyOutput(*job, model)(sink);
    if (sink.count == 0) __builtin_trap();
  } catch (const Exception& e) {
    CheckOneLine(e.Message());
  }
  // The traps are the program's only while a study runs.
  if (fegetexcept() != 0) __builtin_trap();
  return 0;
}
